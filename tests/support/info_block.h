// The 1068-byte bitmap information block a picture of the given size comes with.
#pragma once

#include <cstring>

#include "tests/support/mca_builder.h"

inline Bytes InfoBlock(int32_t width, int32_t height) {
  Bytes b(1068, 0);
  const uint32_t stride = width > 0 ? (3 * uint32_t(width) + 3) / 4 * 4 : 0;
  const uint32_t fields[] = {40, uint32_t(width), uint32_t(height)};
  std::memcpy(b.data(), fields, sizeof fields);
  b[12] = 1;   // planes
  b[14] = 24;  // bits per pixel
  const uint32_t sizeImage = stride * uint32_t(height);
  std::memcpy(b.data() + 20, &sizeImage, 4);
  return b;
}
