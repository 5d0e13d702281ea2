#include "mcadec/mcaenc_run.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "mcadec/batch.h"
#include "mcadec/encode_file.h"
#include "mcadec/input_file.h"
#include "mcadec/interrupts.h"
#include "mcadec/mcaenc_command_line.h"
#include "mcadec/output_plan.h"
#include "mcadec/picture_reader.h"
#include "mcadec/platform.h"
#include "mcadec/problem_words.h"
#include "mcadec/settings.h"

namespace {

// Where each picture goes: kUsageError after the words for outputs no run
// may write, 1 for a folder that cannot be made.
int PlanEncodeOutputs(const EncodeSettings& s, std::vector<std::string>* outputs) {
  if (s.output == "-" || (s.output.empty() && std::count(s.inputs.begin(), s.inputs.end(), "-") > 0)) {
    std::fprintf(stderr, "mcaenc: MCA is written to files only (name one with -o FILE.mca)\n");
    return kUsageError;
  }
  const bool intoFolder = WritesIntoFolder(s.inputs.size(), s.output);
  const OutputNaming naming{".mca", IsReadablePicture, "a PNG, BMP or PPM picture"};
  std::string clash;
  if (!PlanOutputs(s.inputs, s.output, intoFolder, naming, outputs, &clash)) {
    std::fprintf(stderr, "mcaenc: %s\n", clash.c_str());
    return kUsageError;
  }
  if (intoFolder && !IsFolder(s.output) && !MakeFolder(s.output)) {
    std::fprintf(stderr, "mcaenc: cannot create the folder %s\n", s.output.c_str());
    return 1;
  }
  return 0;
}

// The template, read once for every picture; its heads must lie in it (its
// payloads are never read).
bool ReadTemplate(const std::string& path, InputBytes* bytes) {
  std::string error;
  if (!ReadInput(path, bytes, &error)) {
    std::fprintf(stderr, "mcaenc: %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  mca_info info;
  mca_problem problem;
  const mca_status status = mca_probe(bytes->data.get(), bytes->size, &info, &problem);
  if (status != MCA_OK && status != MCA_PAYLOAD_OUTSIDE) {
    std::fprintf(stderr, "mcaenc: %s cannot serve as a template: %s\n", path.c_str(), ProblemWords(problem).c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunMcaenc(int argc, char** argv) {
  NoteProgramName("mcaenc");
  RemoveTemporariesOnSignals();
  EncodeSettings s;
  if (const int status = ParseEncodeCommandLine(argc, argv, &s); status >= 0) return status;
  std::vector<std::string> outputs;
  if (const int status = PlanEncodeOutputs(s, &outputs)) return status;
  InputBytes like;
  if (!s.like.empty() && !ReadTemplate(s.like, &like)) return 1;
  EncodeFileOptions options;
  mca_default_options(&options.encode);
  options.encode.depth = s.depth == "auto" ? 0 : std::stoi(s.depth);
  options.encode.level = s.level;
  options.encode.band_height = s.bandHeight;
  options.encode.max_pixels = s.sizeLimit;
  options.encode.max_dimension = s.dimensionLimit;
  options.encode.like = like.data.get();
  options.encode.like_size = like.size;
  options.force = s.force;
  options.flatten = s.flatten;
  std::copy(s.background, s.background + 3, options.background);
  const size_t files = s.inputs.size();
  const unsigned jobs = std::max(1u, std::min<unsigned>(s.jobs, unsigned(files)));
  // One file at a time: its frames spread over the processors asked for.
  options.encode.threads = jobs == 1 ? std::min(s.jobs, unsigned(MCA_MAX_THREADS)) : 1;
  options.encode.thread_api = CodingThreads();
  std::vector<uint64_t> inputBytes;
  for (const std::string& input : s.inputs) inputBytes.push_back(FileSizeAt(input));
  return RunBatch("mcaenc", s.inputs, inputBytes, jobs, s.quiet, [&](size_t i, std::string* error) {
    return EncodeFile(s.inputs[i], outputs[i], options, error);
  });
}
