#include "mcadec/batch.h"

#include <atomic>
#include <cstdio>
#include <thread>

#include "mcadec/platform.h"
#include "mcadec/interrupts.h"
#include "mcadec/progress.h"

int RunBatch(const char* program, const std::vector<std::string>& inputs, const std::vector<uint64_t>& inputBytes,
             unsigned jobs, bool quiet, const std::function<bool(size_t, std::string*)>& convert) {
  const size_t files = inputs.size();
  uint64_t totalBytes = 0;
  for (const uint64_t bytes : inputBytes) totalBytes += bytes;
  Progress progress(files, totalBytes, !quiet && IsTerminal(stderr) && files > 1);
  NoteFilesInRun(files);
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < files;) {
      std::string error;
      const bool ok = convert(i, &error);
      if (ok) NoteFileConverted();
      else failed = true;
      progress.FileDone(inputBytes[i], ok ? "" : std::string(program) + ": " + inputs[i] + ": " + error);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned k = 1; k < jobs; ++k) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  progress.Finish();
  if (!quiet && files > 1) std::fprintf(stderr, "%s\n", progress.Summary(program).c_str());
  return failed ? 1 : 0;
}
