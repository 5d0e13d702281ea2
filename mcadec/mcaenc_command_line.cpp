#include "mcadec/mcaenc_command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

#include "mcadec/cli_parse.h"
#include "mcadec/platform.h"
#include "mcadec/settings.h"

namespace {

void DescribeOptions(CLI::App& app, EncodeSettings& s) {
  app.description(
      "Writes PNG, BMP and PPM pictures as MCA.\n\n"
      "  mcaenc IN.png                      writes IN.mca beside it\n"
      "  mcaenc -o OUT.mca IN.png           writes OUT.mca\n"
      "  mcaenc -o DIR A.png B.bmp...       writes many into a folder\n"
      "  mcaenc --like ORIG.mca EDITED.png  keeps ORIG.mca's head, frames and unread bytes\n\n"
      "An existing file is kept unless --force is given; a failed picture leaves\n"
      "no file behind. Exit status: 0 when every file was written, 1 when some\n"
      "failed, 2 for a usage error.");
  app.add_option("files", s.inputs, "PNG, BMP or PPM pictures to write as MCA")->required();
  app.add_option("-o,--output", s.output, "output file, or folder for several inputs");
  app.add_option("--like", s.like,
                 "an MCA file to follow: its head, frames and every byte no decoder reads are kept; the "
                 "picture must be its size");
  app.add_option("--depth", s.depth, "auto (8-bit for 256 colours or fewer, else 24-bit), 8 or 24; default auto")
      ->check(CLI::IsMember({"auto", "8", "24"}));
  app.add_option("--level", s.level,
                 "LZSS effort: 0 (frames stored), 1 (default, fast), " + std::to_string(MCA_MAX_LEVEL) +
                     " (smallest, slower)")
      ->check(CLI::Range(0, MCA_MAX_LEVEL).description(""))
      ->type_name("N");
  app.add_option("--band-height", s.bandHeight, "rows in each frame (default: frames of about 256 KiB)")
      ->check(CLI::Range(1, INT32_MAX).description(""))
      ->type_name("ROWS");
  app.add_option("--background", s.backgroundText,
                 "put transparent pixels on this colour (#RRGGBB, white or black); without it a picture with "
                 "transparent pixels is refused");
  app.add_option("-j,--jobs", s.jobs,
                 "files written at once, 1 to " + std::to_string(kMaxJobs) +
                     " (default: the processors mcaenc may run on)")
      ->check(CLI::Range(1u, kMaxJobs).description(""))
      ->type_name("N");
  AddSharedOptions(app, "mcaenc", &s.sizeLimit, &s.dimensionLimit, &s.quiet, &s.force);
}

// "#RRGGBB", "RRGGBB", "white" or "black" as three bytes; false for anything else.
bool ParseColour(const std::string& text, uint8_t rgb[3]) {
  if (text == "white" || text == "black") {
    std::fill(rgb, rgb + 3, text == "white" ? 255 : 0);
    return true;
  }
  const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  for (int c = 0; c < 3; ++c) rgb[c] = uint8_t(std::stoul(hex.substr(2 * size_t(c), 2), nullptr, 16));
  return true;
}

}  // namespace


int ParseEncodeCommandLine(int argc, char** argv, EncodeSettings* settings) {
  EncodeSettings& s = *settings;
  s.jobs = std::max(1u, ProcessorCount());
  CLI::App app{"", "mcaenc"};
  DescribeOptions(app, s);
  if (const int status = ParseArguments(app, argc, argv, "mcaenc", "mcaenc FILE.png..."); status >= 0) return status;
  // A template decides the depth and the bands: a value given beside it
  // would be dropped silently.
  if (!s.like.empty()) {
    for (const char* option : {"--depth", "--band-height"}) {
      if (app.count(option) > 0) {
        std::fprintf(stderr, "mcaenc: --like keeps the template's frames: %s is not taken with it\n", option);
        return kUsageError;
      }
    }
  }
  s.flatten = !s.backgroundText.empty();
  if (s.flatten && !ParseColour(s.backgroundText, s.background)) {
    std::fprintf(stderr, "mcaenc: --background takes #RRGGBB, white or black, not %s\n", s.backgroundText.c_str());
    return kUsageError;
  }
  return -1;
}
