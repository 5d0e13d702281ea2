// mcadec's command line, through CLI11.
#include "mcadec/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>

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
  app.add_option("--size-limit", s.sizeLimit, "refuse pictures of more pixels than this; 0: none")
      ->capture_default_str();
  app.add_option("--dimension-limit", s.dimensionLimit, "refuse pictures with a side longer than this; 0: none")
      ->capture_default_str();
  app.add_flag("-q,--quiet", s.quiet, "no progress bar");
  app.add_flag("-f,--force", s.force, "replace existing output files");
  app.set_version_flag("--version", "mcadec " MCA_VERSION_STRING);
}

// The words of a command line CLI11 could not parse.
int ParseFailure(const CLI::ParseError& e, const CLI::App& app, int argc, char** argv, const Settings& s) {
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    // An option given twice, or given no value: the library's words begin
    // with the option's name ("--output: At Most 1 required but received 2").
    const std::string what = e.what();
    const std::string option = what.substr(0, what.find(':'));
    std::fprintf(stderr, "mcadec: %s %s (mcadec --help says more)\n", option.c_str(),
                 what.find("At Most") != std::string::npos ? "is given more than once" : "needs a value");
    return kUsageError;
  }
  // A file whose name begins with "-" reads as an option: say so plainly.
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word.size() > 1 && word[0] == '-' && !app.get_option_no_throw(word.substr(0, word.find('=')))) {
      std::fprintf(stderr, "mcadec: unknown option %s (a file named so is given as ./%s or after --)\n",
                   word.c_str(), word.c_str());
      return kUsageError;
    }
  }
  if (s.inputs.empty() && argc == 1) {
    std::fprintf(stderr, "mcadec: no picture given: mcadec FILE.mca... (mcadec --help says more)\n");
  } else {
    std::fprintf(stderr, "mcadec: %s (mcadec --help says more)\n", e.what());
  }
  return kUsageError;
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(e, app, argc, argv, s);
  }
  return CheckCombinations(app, s);
}
