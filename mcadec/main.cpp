// mcadec: converts MCA pictures to PNG, BMP or PPM, or describes them.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

#include "mcadec/convert.h"
#include "mcadec/interrupts.h"
#include "mcadec/output_plan.h"
#include "mcadec/progress.h"

namespace {

constexpr int kUsageError = 2;

struct Settings {
  std::vector<std::string> inputs;
  std::string output;
  std::string format;
  bool info = false;
  bool json = false;
  bool quiet = false;
  bool force = false;
  unsigned jobs = 0;
  int pngLevel = kDefaultPngLevel;
  uint64_t sizeLimit = MCA_DEFAULT_MAX_PIXELS;
  uint32_t dimensionLimit = MCA_DEFAULT_MAX_DIMENSION;
  std::string resize;
};

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

int Describe(const Settings& s) {
  int status = 0;
  if (s.json) std::printf("[");
  bool first = true;
  for (const std::string& input : s.inputs) {
    std::string text, error;
    if (!DescribeFile(input, s.json, &text, &error)) {
      std::fprintf(stderr, "mcadec: %s: %s\n", input.c_str(), error.c_str());
      status = 1;
      if (!s.json) continue;
      text = DescribeFailure(input, error);  // listed too, with its reason
    }
    if (s.json) std::printf("%s\n  %s", first ? "" : ",", text.c_str());
    else std::fputs(text.c_str(), stdout);
    first = false;
  }
  if (s.json) std::printf("%s]\n", first ? "" : "\n");
  return status;
}

int Convert(const Settings& s) {
  ImageFormat format = ImageFormat::kPng;
  if (!s.format.empty()) {
    FormatFromName("." + s.format, &format);
  }
  const bool single = s.inputs.size() == 1;
  if (s.output == "-" && !single) {
    std::fprintf(stderr, "mcadec: -o - takes one input\n");
    return kUsageError;
  }
  const bool toStandardOutput = s.output == "-" || (s.output.empty() && single && s.inputs[0] == "-");
  if (toStandardOutput && isatty(STDOUT_FILENO) && !s.force) {
    std::fprintf(stderr, "mcadec: image data not written to a terminal (use -o FILE, a pipe, or -f to force)\n");
    return kUsageError;
  }
  const bool intoFolder = WritesIntoFolder(s.inputs.size(), s.output);
  // The output's extension names the format unless --format does; a name
  // without one is PNG, one we cannot write is refused.
  const bool unknownFormat = s.format.empty() && !intoFolder && !s.output.empty() && s.output != "-" &&
                             !FormatFromName(s.output, &format) && HasExtension(s.output);
  std::vector<std::string> outputs;
  std::string clash;
  if (!PlanOutputs(s.inputs, s.output, intoFolder, format, &outputs, &clash)) {
    std::fprintf(stderr, "mcadec: %s\n", clash.c_str());
    return kUsageError;
  }
  // --format and an output named for another format disagree: refused,
  // rather than writing one format under the other's name.
  ImageFormat named = format;
  const bool otherFormat = !s.format.empty() && !intoFolder && !s.output.empty() && s.output != "-" &&
                           HasExtension(s.output) && (!FormatFromName(s.output, &named) || named != format);
  if (otherFormat) {
    std::fprintf(stderr, "mcadec: the output %s is not named for --format %s (name it .%s, or leave --format out)\n",
                 s.output.c_str(), s.format.c_str(), s.format.c_str());
    return kUsageError;
  }
  if (unknownFormat) {
    std::fprintf(stderr, "mcadec: cannot write %s: the formats are .png, .bmp and .ppm (or say which with --format)\n",
                 s.output.c_str());
    return kUsageError;
  }
  if (intoFolder && !IsFolder(s.output) && mkdir(s.output.c_str(), 0777) != 0) {
    std::fprintf(stderr, "mcadec: cannot create the folder %s\n", s.output.c_str());
    return 1;
  }
  std::vector<uint64_t> inputBytes;  // for the progress bar; 0 for standard input
  uint64_t totalBytes = 0;
  for (const std::string& input : s.inputs) {
    struct stat info;
    inputBytes.push_back(input != "-" && stat(input.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0);
    totalBytes += inputBytes.back();
  }

  ConvertOptions options;
  options.encode.format = format;
  options.encode.pngLevel = s.pngLevel;
  options.encode.indexedPng = true;
  options.force = s.force;
  if (!s.resize.empty() && !ParseSize(s.resize, &options.fitWidth, &options.fitHeight)) {
    std::fprintf(stderr, "mcadec: --resize takes WIDTHxHEIGHT, e.g. 256x256\n");
    return kUsageError;
  }
  mca_default_options(&options.decode);
  options.decode.max_pixels = s.sizeLimit;
  options.decode.max_dimension = s.dimensionLimit;
  // BMP keeps its pixels blue, green, red: the decode hands rows so.
  if (format == ImageFormat::kBmp) options.decode.layout = MCA_LAYOUT_BGR;
  // Files go side by side on the cores, or one file's decode beside its
  // encoder: each decode keeps to one thread.
  options.decode.threads = 1;
  const unsigned jobs = std::max(1u, std::min<unsigned>(s.jobs, unsigned(s.inputs.size())));
  options.overlap = jobs == 1 && s.jobs > 1;  // a core is free for decoding beside the encoder
  // One file at a time: its deflating spreads over the cores asked for.
  options.encode.pngThreads = jobs == 1 ? std::min(s.jobs, 16u) : 1;
  Progress progress(s.inputs.size(), totalBytes, !s.quiet && isatty(STDERR_FILENO) && s.inputs.size() > 1);
  NoteFilesInRun(s.inputs.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < s.inputs.size();) {
      std::string error;
      const bool ok = ConvertFile(s.inputs[i], outputs[i], options, &error);
      if (ok) NoteFileConverted();
      else failed = true;
      progress.FileDone(inputBytes[i], ok ? "" : "mcadec: " + s.inputs[i] + ": " + error);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned k = 1; k < jobs; ++k) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  progress.Finish();
  if (!s.quiet && s.inputs.size() > 1) std::fprintf(stderr, "%s\n", progress.Summary().c_str());
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file size limit, writes fail and the file is cleaned up, rather
  // than the process being killed with a temporary file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  RemoveTemporariesOnSignals();
  Settings s;
  s.jobs = unsigned(std::max(1, mca_processors()));
  CLI::App app{"Converts MCA pictures to PNG, BMP or PPM.\n\n"
               "  mcadec IN.mca                 writes IN.png beside it\n"
               "  mcadec -o OUT.png IN.mca      writes OUT.png\n"
               "  mcadec -o DIR A.mca B.mca...  converts many into a folder\n"
               "  mcadec --info IN.mca          describes the picture without decoding it\n\n"
               "\"-\" reads standard input or writes standard output. An existing file is\n"
               "kept unless --force is given; a failed conversion leaves no file behind.\n"
               "Exit status: 0 when every file converted, 1 when some failed, 2 for a\n"
               "usage error.",
               "mcadec"};
  app.add_option("files", s.inputs, "MCA pictures to convert (- for standard input)")->required();
  app.add_option("-o,--output", s.output, "output file, or folder for several inputs (- for standard output)");
  app.add_option("--format", s.format, "png, bmp or ppm (default: from the output name, else png)")
      ->check(CLI::IsMember({"png", "bmp", "ppm"}));
  app.add_flag("--info", s.info, "print the geometry and the frame list, decoding nothing");
  app.add_flag("--json", s.json, "describe as --info does, in JSON");
  app.add_option("-j,--jobs", s.jobs, "files converted at once, 1 to 1024 (default: the processors mcadec may run on)")
      ->check(CLI::Range(1u, 1024u).description(""))
      ->type_name("N");
  app.add_option("--png-level", s.pngLevel,
                 "PNG compression (libdeflate level), 0 (none) to 9 (smallest, slowest); default: level 2, "
                 "and 7 where the picture is smooth")
      ->check(CLI::Range(0, 9).description(""))
      ->type_name("N");
  app.add_option("--resize", s.resize, "fit inside WIDTHxHEIGHT, keeping the aspect (area average; never enlarges)");
  app.add_option("--size-limit", s.sizeLimit, "refuse pictures of more pixels than this; 0: none (default 268435456)");
  app.add_option("--dimension-limit", s.dimensionLimit,
                 "refuse pictures with a side longer than this; 0: none (default 32768)");
  app.add_flag("-q,--quiet", s.quiet, "no progress bar");
  app.add_flag("-f,--force", s.force, "replace existing output files");
  app.set_version_flag("--version", "mcadec " MCA_VERSION_STRING);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ArgumentMismatch& e) {
    // An option given twice, or given no value: the library's words begin
    // with the option's name ("--output: At Most 1 required but received 2").
    const std::string what = e.what();
    const std::string option = what.substr(0, what.find(':'));
    std::fprintf(stderr, "mcadec: %s %s (mcadec --help says more)\n", option.c_str(),
                 what.find("At Most") != std::string::npos ? "is given more than once" : "needs a value");
    return kUsageError;
  } catch (const CLI::ParseError& e) {
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
    return Describe(s);
  }
  return Convert(s);
}
