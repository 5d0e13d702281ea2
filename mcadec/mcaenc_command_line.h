// What mcaenc's command line asks, as parsed (CLI11).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mca/mca.h"

struct EncodeSettings {
  std::vector<std::string> inputs;
  std::string output;
  std::string like;
  std::string depth = "auto";
  int32_t level = MCA_DEFAULT_LEVEL;
  int32_t bandHeight = 0;
  std::string backgroundText;
  bool flatten = false;       // --background given: its colour, parsed
  uint8_t background[3] = {};
  bool quiet = false;
  bool force = false;
  unsigned jobs = 0;
  uint64_t sizeLimit = MCA_DEFAULT_MAX_PIXELS;
  uint32_t dimensionLimit = MCA_DEFAULT_MAX_DIMENSION;
};

// -1 to go on; otherwise the exit status, after the words (help, version, or
// what is wrong: kUsageError).
int ParseEncodeCommandLine(int argc, char** argv, EncodeSettings* settings);
