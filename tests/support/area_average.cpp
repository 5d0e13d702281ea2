#include "tests/support/area_average.h"

#include <algorithm>
#include <cstdlib>

std::vector<uint8_t> AreaAverage(const std::vector<uint8_t>& rgb, int32_t width, int32_t height, int32_t outWidth,
                                 int32_t outHeight) {
  std::vector<uint8_t> out;
  const double sx = double(width) / outWidth, sy = double(height) / outHeight;
  for (int32_t y = 0; y < outHeight; ++y) {
    for (int32_t x = 0; x < outWidth; ++x) {
      double sum[3] = {0, 0, 0};
      for (int32_t j = int32_t(y * sy); j < height && j < (y + 1) * sy; ++j) {
        const double wy = std::min<double>(j + 1, (y + 1) * sy) - std::max<double>(j, y * sy);
        for (int32_t i = int32_t(x * sx); i < width && i < (x + 1) * sx; ++i) {
          const double w = wy * (std::min<double>(i + 1, (x + 1) * sx) - std::max<double>(i, x * sx));
          for (size_t k = 0; k < 3; ++k) sum[k] += w * rgb[(size_t(j) * size_t(width) + size_t(i)) * 3 + k];
        }
      }
      for (double s : sum) out.push_back(uint8_t(s / (sx * sy) + 0.5));
    }
  }
  return out;
}

bool WithinOne(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::abs(int(a[i]) - int(b[i])) > 1) return false;
  }
  return true;
}
