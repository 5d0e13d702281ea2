// Little-endian loads from unaligned bytes.
#pragma once

#include <cstdint>

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline int32_t LoadLe32Signed(const uint8_t* p) { return int32_t(LoadLe32(p)); }
