#include "mcadec/conversion_plan.h"

#include <algorithm>
#include <cstdio>

#include "mcadec/input_file.h"
#include "mcadec/platform.h"
#include "mcadec/output_plan.h"

namespace {

// Whether the file begins with "MCA"; false when it cannot be read.
bool BeginsAsMca(const std::string& path) {
  uint8_t head[3];
  return mca_has_signature(head, ReadFileHead(path, head, sizeof head)) != 0;
}

// "WxH" with both sides from 1 up.
bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
  unsigned long w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(text.c_str(), "%lu%c%lu%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X')) return false;
  if (w < 1 || h < 1 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  *width = int32_t(w);
  *height = int32_t(h);
  return true;
}

// Where the pictures go and in which format, checked: kUsageError after the
// words for an output no run may write, 1 for a folder that cannot be made.
int PlanOutputsOf(const Settings& s, ConversionPlan* plan) {
  ImageFormat format = ImageFormat::kPng;
  if (!s.format.empty()) FormatFromName("." + s.format, &format);
  const bool single = s.inputs.size() == 1;
  if (s.output == "-" && !single) {
    std::fprintf(stderr, "mcadec: -o - takes one input\n");
    return kUsageError;
  }
  const bool toStandardOutput = s.output == "-" || (s.output.empty() && single && s.inputs[0] == "-");
  if (toStandardOutput && IsTerminal(stdout) && !s.force) {
    std::fprintf(stderr, "mcadec: image data not written to a terminal (use -o FILE, a pipe, or -f to force)\n");
    return kUsageError;
  }
  const bool intoFolder = WritesIntoFolder(s.inputs.size(), s.output);
  const bool namedFile = !intoFolder && !s.output.empty() && s.output != "-";
  // The output's extension names the format unless --format does; a name
  // without one is PNG, one we cannot write is refused.
  const bool unknownFormat =
      s.format.empty() && namedFile && !FormatFromName(s.output, &format) && HasExtension(s.output);
  std::string clash;
  const OutputNaming naming{FormatExtension(format), BeginsAsMca, "an MCA picture (it does not begin with \"MCA\")"};
  if (!PlanOutputs(s.inputs, s.output, intoFolder, naming, &plan->outputs, &clash)) {
    std::fprintf(stderr, "mcadec: %s\n", clash.c_str());
    return kUsageError;
  }
  // --format and an output named for another format disagree: refused,
  // rather than writing one format under the other's name.
  ImageFormat named = format;
  if (!s.format.empty() && namedFile && HasExtension(s.output) &&
      (!FormatFromName(s.output, &named) || named != format)) {
    std::fprintf(stderr, "mcadec: the output %s is not named for --format %s (name it .%s, or leave --format out)\n",
                 s.output.c_str(), s.format.c_str(), s.format.c_str());
    return kUsageError;
  }
  if (unknownFormat) {
    std::fprintf(stderr, "mcadec: cannot write %s: the formats are .png, .bmp and .ppm (or say which with --format)\n",
                 s.output.c_str());
    return kUsageError;
  }
  plan->options.encode.format = format;
  if (intoFolder && !IsFolder(s.output) && !MakeFolder(s.output)) {
    std::fprintf(stderr, "mcadec: cannot create the folder %s\n", s.output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int PlanConversion(const Settings& s, ConversionPlan* plan) {
  plan->inputs = s.inputs;
  ConvertOptions& options = plan->options;
  if (const int status = PlanOutputsOf(s, plan)) return status;
  if (!s.resize.empty() && !ParseSize(s.resize, &options.fitWidth, &options.fitHeight)) {
    std::fprintf(stderr, "mcadec: --resize takes WIDTHxHEIGHT, e.g. 256x256\n");
    return kUsageError;
  }
  for (const std::string& input : s.inputs) {
    plan->inputBytes.push_back(input != "-" ? FileSizeAt(input) : 0);
  }
  options.encode.pngLevel = s.pngLevel;
  options.encode.indexedPng = true;
  options.force = s.force;
  mca_default_options(&options.decode);
  options.decode.max_pixels = s.sizeLimit;
  options.decode.max_dimension = s.dimensionLimit;
  // BMP keeps its pixels blue, green, red: the decode hands rows so.
  if (options.encode.format == ImageFormat::kBmp) options.decode.layout = MCA_LAYOUT_BGR;
  // Files go side by side on the cores, or one file's decode beside its
  // encoder: each decode keeps to one thread.
  options.decode.threads = 1;
  plan->jobs = std::max(1u, std::min<unsigned>(s.jobs, unsigned(s.inputs.size())));
  options.overlap = plan->jobs == 1 && s.jobs > 1;  // a core is free for decoding beside the encoder
  // One file at a time: its deflating spreads over the cores asked for.
  options.encode.pngThreads = plan->jobs == 1 ? std::min(s.jobs, kMaxDeflateThreads) : 1;
  return 0;
}
