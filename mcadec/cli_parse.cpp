#include "mcadec/cli_parse.h"

#include <cstdio>
#include <string>

#include "mca/mca.h"
#include "mcadec/settings.h"

namespace {

// The words of a command line CLI11 could not parse.
int ParseFailure(const CLI::ParseError& e, const CLI::App& app, int argc, char** argv, const char* program,
                 const char* usage) {
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    // An option given twice, or given no value: the library's words begin
    // with the option's name ("--output: At Most 1 required but received 2").
    const std::string what = e.what();
    const std::string option = what.substr(0, what.find(':'));
    std::fprintf(stderr, "%s: %s %s (%s --help says more)\n", program, option.c_str(),
                 what.find("At Most") != std::string::npos ? "is given more than once" : "needs a value", program);
    return kUsageError;
  }
  // A file whose name begins with "-" reads as an option: say so plainly.
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word.size() > 1 && word[0] == '-' && !app.get_option_no_throw(word.substr(0, word.find('=')))) {
      std::fprintf(stderr, "%s: unknown option %s (a file named so is given as ./%s or after --)\n", program,
                   word.c_str(), word.c_str());
      return kUsageError;
    }
  }
  if (argc == 1) {
    std::fprintf(stderr, "%s: no picture given: %s (%s --help says more)\n", program, usage, program);
  } else {
    std::fprintf(stderr, "%s: %s (%s --help says more)\n", program, e.what(), program);
  }
  return kUsageError;
}

}  // namespace

void AddSharedOptions(CLI::App& app, const char* program, uint64_t* sizeLimit, uint32_t* dimensionLimit, bool* quiet,
                      bool* force) {
  app.add_option("--size-limit", *sizeLimit, "refuse pictures of more pixels than this; 0: none")
      ->capture_default_str();
  app.add_option("--dimension-limit", *dimensionLimit, "refuse pictures with a side longer than this; 0: none")
      ->capture_default_str();
  app.add_flag("-q,--quiet", *quiet, "no progress bar");
  app.add_flag("-f,--force", *force, "replace existing output files");
  app.set_version_flag("--version", std::string(program) + " " MCA_VERSION_STRING);
}

int ParseArguments(CLI::App& app, int argc, char** argv, const char* program, const char* usage) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return ParseFailure(e, app, argc, argv, program, usage);
  }
  return -1;
}
