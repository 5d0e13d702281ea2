// mcadec's command line, through CLI11.
#include "mcadec/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>

#include "mcadec/cli_parse.h"
#include "mcadec/platform.h"

namespace {

void DescribeOptions(CLI::App& app, Settings& s) {
  app.description(
      "Converts MCA pictures to PNG, BMP or PPM.\n\n"
      "  mcadec IN.mca                 writes IN.png beside it\n"
      "  mcadec -o OUT.png IN.mca      writes OUT.png\n"
      "  mcadec -o DIR A.mca B.mca...  converts many into a folder\n"
      "  mcadec --info IN.mca          describes the picture without decoding it\n\n"
      "\"-\" reads standard input or writes standard output. An existing file is\n"
      "kept unless --force is given; a failed conversion leaves no file behind.\n"
      "Exit status: 0 when every file converted, 1 when some failed, 2 for a\n"
      "usage error.");
  app.add_option("files", s.inputs, "MCA pictures to convert (- for standard input)")->required();
  app.add_option("-o,--output", s.output, "output file, or folder for several inputs (- for standard output)");
  app.add_option("--format", s.format, "png, bmp or ppm (default: from the output name, else png)")
      ->check(CLI::IsMember({"png", "bmp", "ppm"}));
  app.add_flag("--info", s.info, "print the geometry and the frame list, decoding nothing");
  app.add_flag("--json", s.json, "describe as --info does, in JSON");
  app.add_option("-j,--jobs", s.jobs,
                 "files converted at once, 1 to " + std::to_string(kMaxJobs) +
                     " (default: the processors mcadec may run on)")
      ->check(CLI::Range(1u, kMaxJobs).description(""))
      ->type_name("N");
  app.add_option("--png-level", s.pngLevel,
                 "PNG compression (libdeflate level), 0 (none) to 9 (smallest, slowest); default: level 2, "
                 "and 7 where the picture is smooth")
      ->check(CLI::Range(0, 9).description(""))
      ->type_name("N");
  app.add_option("--resize", s.resize, "fit inside WIDTHxHEIGHT, keeping the aspect (area average; never enlarges)");
  AddSharedOptions(app, "mcadec", &s.sizeLimit, &s.dimensionLimit, &s.quiet, &s.force);
}

// Combinations no run can take: kUsageError after their words, or -1.
int CheckCombinations(const CLI::App& app, const Settings& s) {
  size_t standardInputs = 0;
  for (const std::string& input : s.inputs) standardInputs += input == "-";
  if (standardInputs > 1) {
    std::fprintf(stderr, "mcadec: standard input can be read once\n");
    return kUsageError;
  }
  if (s.json || s.info) {
    // A description is all they print: an option asking for a picture file
    // would be dropped silently.
    for (const char* option : {"--output", "--format", "--resize", "--png-level", "--force"}) {
      if (app.count(option) > 0) {
        std::fprintf(stderr, "mcadec: %s describes pictures and writes no picture file: %s is not taken with it\n",
                     s.json ? "--json" : "--info", option);
        return kUsageError;
      }
    }
  }
  return -1;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, Settings* settings) {
  Settings& s = *settings;
  s.jobs = std::max(1u, ProcessorCount());
  CLI::App app{"", "mcadec"};
  DescribeOptions(app, s);
  if (const int status = ParseArguments(app, argc, argv, "mcadec", "mcadec FILE.mca..."); status >= 0) return status;
  return CheckCombinations(app, s);
}
