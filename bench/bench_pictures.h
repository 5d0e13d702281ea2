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

// 4000 x 3000 24-bit compressed and stored, 8-bit compressed, a tall
// picture of 300 compressed 1000 x 40 frames, and a small 200 x 150 one.
std::vector<BenchPicture> MakeBenchPictures();

struct RoundSeconds {
  double ours;   // (a) the plug-in's GetPicture in memory mode, blocks released
  double oursOne;  // (a1) the same on one thread (the process confined to one processor)
  double plain;  // (b) the plain decoder into a fresh zero-filled block
  double copy;   // (c) memcpy of the pixel block between two touched buffers
  double fresh;  // (d) a fresh zero-filled local block, the pixels copied into it
};

// One round of them, in that order. `ours` decodes the image and answers
// false on failure; `oneThread` confines the process to one processor (true)
// or gives it back all of them (false).
RoundSeconds TimeRound(const BenchPicture& picture, const std::function<bool(const Bytes&)>& ours,
                       const std::function<void(bool)>& oneThread);

struct BenchFigures {
  double ours, oursOne, plain, copy, fresh;               // medians, seconds
  double oursOverPlain, oursOverCopy, oursOverFresh, oursOneOverFresh;  // medians of round-by-round ratios
  double bytesPerSecond;                          // pixel output of (a)
};

BenchFigures Summarise(const std::vector<RoundSeconds>& rounds, size_t pixelBytes);
