// The benchmark's pictures, and the four ways of producing their pixels that
// it times side by side, round by round.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/mca_builder.h"

struct BenchPicture {
  std::string name;
  Bytes image;
  size_t pixelBytes;
};

// 4000 x 3000 24-bit compressed and stored, 8-bit compressed, and a tall
// picture of 300 compressed 1000 x 40 frames.
std::vector<BenchPicture> MakeBenchPictures();

struct RoundSeconds {
  double ours;   // (a) the plug-in's GetPicture in memory mode, blocks released
  double plain;  // (b) the plain decoder into a fresh zero-filled block
  double copy;   // (c) memcpy of the pixel block between two touched buffers
  double fresh;  // (d) a fresh zero-filled local block, the pixels copied into it
};

// One round of the four, in that order. `ours` decodes the image and answers
// false on failure.
RoundSeconds TimeRound(const BenchPicture& picture, const std::function<bool(const Bytes&)>& ours);

struct BenchFigures {
  double ours, plain, copy, fresh;               // medians, seconds
  double oursOverPlain, oursOverCopy, oursOverFresh;  // medians of round-by-round ratios
  double bytesPerSecond;                          // pixel output of (a)
};

BenchFigures Summarise(const std::vector<RoundSeconds>& rounds, size_t pixelBytes);
