#include "mcadec/run.h"

#include <cstdio>

#include "mcadec/batch.h"
#include "mcadec/command_line.h"
#include "mcadec/conversion_plan.h"
#include "mcadec/interrupts.h"

namespace {

// --info and --json: each picture's description; a file that cannot be read
// is named with its reason (and listed with it in JSON).
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
      text = DescribeFailure(input, error);
    }
    if (s.json) std::printf("%s\n  %s", first ? "" : ",", text.c_str());
    else std::fputs(text.c_str(), stdout);
    first = false;
  }
  if (s.json) std::printf("%s]\n", first ? "" : "\n");
  return status;
}

}  // namespace

int RunMcadec(int argc, char** argv) {
  RemoveTemporariesOnSignals();
  Settings settings;
  if (const int status = ParseCommandLine(argc, argv, &settings); status >= 0) return status;
  if (settings.info || settings.json) return Describe(settings);
  ConversionPlan plan;
  if (const int status = PlanConversion(settings, &plan)) return status;
  return RunBatch("mcadec", plan.inputs, plan.inputBytes, plan.jobs, settings.quiet,
                  [&](size_t i, std::string* error) {
                    return ConvertFile(plan.inputs[i], plan.outputs[i], plan.options, error);
                  });
}
