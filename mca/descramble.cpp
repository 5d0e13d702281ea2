// Payload descrambling: each byte rotated left by one, then xor a running mask.
#include <cstring>

#include "mca/mca_format.h"

namespace {

// The mask of byte i is seed + sum of (length - j) for j < i, modulo 256,
// which is seed + i * length - i * (i - 1) / 2: it repeats every 512 bytes.
constexpr size_t kMaskPeriod = 512;

void BuildMask(int32_t length, uint8_t* mask) {
  uint8_t m = kDescrambleSeed;
  for (size_t i = 0; i < kMaskPeriod; ++i) {
    mask[i] = m;
    m = uint8_t(m + uint8_t(uint32_t(length) - uint32_t(i)));
  }
}

void ApplyMask(const uint8_t* src, uint8_t* dst, const uint8_t* mask, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = src[i];
    dst[i] = uint8_t((b << 1) | (b >> 7)) ^ mask[i];
  }
}

}  // namespace

void DescramblePrefix(const uint8_t* src, uint8_t* dst, int32_t length, size_t count) {
  if (length <= 0) return;
  if (count > size_t(length)) count = size_t(length);
  uint8_t mask[kMaskPeriod];
  BuildMask(length, mask);
  for (size_t done = 0; done < count; done += kMaskPeriod) {
    const size_t n = count - done < kMaskPeriod ? count - done : kMaskPeriod;
    ApplyMask(src + done, dst + done, mask, n);
  }
}

void DescramblePayload(uint8_t* buffer, int32_t length) {
  DescramblePrefix(buffer, buffer, length, length > 0 ? size_t(length) : 0);
}
