// Little-endian loads and stores at unaligned bytes.
#pragma once

#include <cstdint>

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline int32_t LoadLe32Signed(const uint8_t* p) { return int32_t(LoadLe32(p)); }

inline void StoreLe32(uint8_t* p, uint32_t value) {
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(value >> 8 * k);
}
