// Payload descrambling: each byte rotated left by one, then xor a running mask.
#include <cstring>

#include "mca/descramble.h"

void BuildDescrambleMask(int32_t length, DescrambleMask* mask) {
  // Byte i's mask is seed + the sum of (length - j) for j < i, modulo 256.
  uint8_t m = kDescrambleSeed;
  for (uint32_t i = 0; i < kDescrambleMaskPeriod; ++i) {
    mask->byte[i] = m;
    m = uint8_t(m + uint8_t(uint32_t(length) - i));
  }
}

void ApplyDescrambleMask(const DescrambleMask& mask, const uint8_t* src, uint8_t* dst, size_t begin, size_t count) {
  while (count > 0) {
    // Up to the end of the mask's period, in a loop the compiler vectorises.
    const size_t phase = begin % kDescrambleMaskPeriod;
    const size_t n = count < kDescrambleMaskPeriod - phase ? count : kDescrambleMaskPeriod - phase;
    const uint8_t* m = mask.byte + phase;
    size_t i = 0;
#if defined(__SSE2__) || defined(__ARM_NEON)
    // Sixteen bytes at a time in the compiler's vector type where the target
    // has vectors: each byte rotated within itself, then the mask.
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    for (; i + 16 <= n; i += 16) {
      Bytes16 b, k;
      std::memcpy(&b, src + i, 16);
      std::memcpy(&k, m + i, 16);
      b = ((b << 1) | (b >> 7)) ^ k;
      std::memcpy(dst + i, &b, 16);
    }
#endif
    // Eight bytes at a time: each byte rotated within itself, then the mask.
    for (; i + 8 <= n; i += 8) {
      uint64_t b, k;
      std::memcpy(&b, src + i, 8);
      std::memcpy(&k, m + i, 8);
      b = (((b << 1) & 0xFEFEFEFEFEFEFEFEull) | ((b >> 7) & 0x0101010101010101ull)) ^ k;
      std::memcpy(dst + i, &b, 8);
    }
    for (; i < n; ++i) {
      const uint8_t b = src[i];
      dst[i] = uint8_t((b << 1) | (b >> 7)) ^ m[i];
    }
    src += n;
    dst += n;
    begin += n;
    count -= n;
  }
}

void ApplyScrambleMask(const DescrambleMask& mask, const uint8_t* src, uint8_t* dst, size_t begin, size_t count) {
  // Writing is rarer than reading and its time goes to coding: a plain loop,
  // which the compiler vectorises where the target has vectors.
  for (size_t i = 0; i < count; ++i) {
    const uint8_t x = src[i] ^ mask.byte[(begin + i) % kDescrambleMaskPeriod];
    dst[i] = uint8_t(x >> 1 | x << 7);
  }
}
