// What the command line asks of mcadec, as parsed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mca/mca.h"
#include "mcadec/picture_writer.h"

// The exit status of a usage error (a failed file is 1).
constexpr int kUsageError = 2;

// -j's bound: one slot a file being written at once is kept for the signal
// handlers (interrupts.cpp).
constexpr unsigned kMaxJobs = 1024;

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
