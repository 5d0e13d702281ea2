#include "mcadec/batch.h"

#include <atomic>
#include <cstdio>
#include <thread>

#include "mcadec/platform.h"
#include "mcadec/interrupts.h"
#include "mcadec/progress.h"

int RunConversions(const ConversionPlan& plan, bool quiet) {
  const size_t files = plan.inputs.size();
  Progress progress(files, plan.totalBytes, !quiet && IsTerminal(stderr) && files > 1);
  NoteFilesInRun(files);
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < files;) {
      std::string error;
      const bool ok = ConvertFile(plan.inputs[i], plan.outputs[i], plan.options, &error);
      if (ok) NoteFileConverted();
      else failed = true;
      progress.FileDone(plan.inputBytes[i], ok ? "" : "mcadec: " + plan.inputs[i] + ": " + error);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned k = 1; k < plan.jobs; ++k) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  progress.Finish();
  if (!quiet && files > 1) std::fprintf(stderr, "%s\n", progress.Summary().c_str());
  return failed ? 1 : 0;
}
