// A conversion run, checked and planned before any file is written: where
// each picture goes, in which format, how the work spreads over the cores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mcadec/convert.h"
#include "mcadec/settings.h"

struct ConversionPlan {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;     // one for each input; "-" for standard output
  std::vector<uint64_t> inputBytes;     // for the progress bar; 0 for standard input
  ConvertOptions options;
  unsigned jobs = 1;                    // files converted at once
};

// 0 with the plan (the output folder made); otherwise the exit status after
// the words: kUsageError for what the command line asks wrongly, 1 for a
// folder that cannot be made.
int PlanConversion(const Settings& settings, ConversionPlan* plan);
