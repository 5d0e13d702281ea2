// The row filter against a plain byte-at-a-time one: the same choice and the
// same bytes, at every width around the vectors' edges and past the point
// where their sums are gathered.
#include "png/png_filter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

uint8_t PlainPaeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Filter type and bytes, the first of the smallest sums of signed magnitudes.
std::vector<uint8_t> PlainFilter(const std::vector<uint8_t>& row, const std::vector<uint8_t>& up) {
  const size_t n = row.size();
  std::vector<uint8_t> best;
  uint64_t bestSum = UINT64_MAX;
  for (uint8_t type = 0; type < 5; ++type) {
    std::vector<uint8_t> out = {type};
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
      const int a = i >= 3 ? row[i - 3] : 0, b = up[i], c = i >= 3 ? up[i - 3] : 0;
      const int predicted[5] = {0, a, b, (a + b) / 2, PlainPaeth(a, b, c)};
      const uint8_t f = uint8_t(row[i] - predicted[type]);
      out.push_back(f);
      sum += f < 128 ? f : 256 - f;
    }
    if (sum < bestSum) {
      bestSum = sum;
      best = out;
    }
  }
  return best;
}

TEST(PngFilter, MatchesThePlainFilterAtEveryEdge) {
  std::mt19937 random(7);
  // Rows of 1-40 bytes (head, one vector, tails), around 255 vectors (a sum's worth) and past them.
  std::vector<size_t> widths;
  for (size_t n = 1; n <= 40; ++n) widths.push_back(n);
  for (size_t n : std::vector<size_t>{3 + 16 * 255 - 1, 3 + 16 * 255, 3 + 16 * 255 + 16, 3 * 4000, 3 * 32768})
    widths.push_back(n);
  // Noise, flat, steep ramps and the extremes, each over rows that favour every filter.
  for (size_t n : widths) {
    for (int texture = 0; texture < 5; ++texture) {
      std::vector<uint8_t> up(n), row(n);
      for (size_t i = 0; i < n; ++i) {
        switch (texture) {
          case 0: up[i] = uint8_t(random()); row[i] = uint8_t(random()); break;
          case 1: up[i] = 200; row[i] = 200; break;
          case 2: up[i] = uint8_t(i * 7); row[i] = uint8_t(i * 7 + 1); break;
          case 3: up[i] = uint8_t(i % 2 ? 255 : 0); row[i] = uint8_t(i % 6 < 3 ? 0 : 255); break;
          default: up[i] = uint8_t(random() % 3 + 127); row[i] = uint8_t(i / 3 * 5 + random() % 2); break;
        }
      }
      std::vector<uint8_t> scratch(4 * n);
      const uint8_t* filtered = nullptr;
      const uint8_t type = FilterRgbRow(row.data(), up.data(), n, scratch.data(), &filtered);
      std::vector<uint8_t> ours = {type};
      ours.insert(ours.end(), filtered, filtered + n);
      EXPECT_EQ(ours, PlainFilter(row, up)) << n << " bytes, texture " << texture;
    }
  }
}

}  // namespace
