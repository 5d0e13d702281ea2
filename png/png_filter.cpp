#include "png/png_filter.h"

#include <cstdlib>

namespace {

// The Paeth predictor without branches, so that the loop vectorises.
inline uint8_t Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  const int ab = pb < pa ? b : a;
  const int abMin = pb < pa ? pb : pa;
  return uint8_t(pc < abMin ? c : ab);
}

uint64_t SumOfMagnitudes(const uint8_t* f, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += uint8_t(f[i] < 128 ? f[i] : 256 - f[i]);
  return sum;
}

}  // namespace

uint8_t FilterRgbRow(const uint8_t* row, const uint8_t* up, size_t n, uint8_t* scratch, const uint8_t** filtered) {
  constexpr size_t bpp = 3;
  uint8_t* sub = scratch;
  uint8_t* upF = sub + n;
  uint8_t* avg = upF + n;
  uint8_t* paeth = avg + n;
  // Each filter in a loop of its own: the first pixel has no left neighbour.
  for (size_t i = 0; i < bpp && i < n; ++i) {
    sub[i] = row[i];
    upF[i] = uint8_t(row[i] - up[i]);
    avg[i] = uint8_t(row[i] - (up[i] >> 1));
    paeth[i] = uint8_t(row[i] - up[i]);
  }
  for (size_t i = bpp; i < n; ++i) sub[i] = uint8_t(row[i] - row[i - bpp]);
  for (size_t i = bpp; i < n; ++i) upF[i] = uint8_t(row[i] - up[i]);
  for (size_t i = bpp; i < n; ++i) avg[i] = uint8_t(row[i] - ((row[i - bpp] + up[i]) >> 1));
  for (size_t i = bpp; i < n; ++i) paeth[i] = uint8_t(row[i] - Paeth(row[i - bpp], up[i], up[i - bpp]));
  const uint8_t* candidates[5] = {row, sub, upF, avg, paeth};
  uint8_t best = 0;
  uint64_t bestSum = SumOfMagnitudes(row, n);
  for (uint8_t k = 1; k < 5; ++k) {
    const uint64_t sum = SumOfMagnitudes(candidates[k], n);
    if (sum < bestSum) {
      best = k;
      bestSum = sum;
    }
  }
  *filtered = candidates[best];
  return best;
}
