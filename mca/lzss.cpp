// LZSS expansion straight into the output buffer.
//
// The stream addresses a 4096-byte ring that starts zero-filled with its write
// position at 4078. Instead of keeping the ring, ring position p at output
// count t is read from the output d = (4078 + t - p) mod 4096 bytes back
// (d = 0 meaning 4096); a position before the start of the output was never
// written and reads as zero.
#include <cstring>

#include "mca/mca_format.h"

namespace {

void CopyMatch(uint8_t* dst, size_t out, size_t distance, size_t length) {
  if (distance > out) {  // the part of the reference that precedes the output
    const size_t zeros = distance - out < length ? distance - out : length;
    std::memset(dst + out, 0, zeros);
    out += zeros;
    length -= zeros;
  }
  if (length == 0) return;
  uint8_t* to = dst + out;
  const uint8_t* from = to - distance;
  if (distance >= length) {
    std::memcpy(to, from, length);
    return;
  }
  for (size_t i = 0; i < length; ++i) to[i] = from[i];  // overlapping: repeats what it writes
}

}  // namespace

size_t ExpandLzss(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity,
                  int32_t limit) {
  if (length <= 0 || limit <= 0) return 0;
  const size_t end = size_t(length);
  const size_t stop = size_t(limit) < capacity ? size_t(limit) : capacity;
  size_t in = 0;
  size_t out = 0;
  unsigned flags = 0;
  int flagsLeft = 0;
  while (out < stop) {
    if (flagsLeft == 0) {
      flags = src[in++];
      flagsLeft = 8;
      if (in == end) break;  // a flag byte with no token after it
    }
    if (flags & 1) {
      dst[out++] = src[in++];
    } else {
      if (end - in < 2) break;  // a back-reference cut short
      const unsigned b0 = src[in];
      const unsigned b1 = src[in + 1];
      in += 2;
      const size_t position = b0 | (b1 & 0x0F) << 8;
      size_t count = (b1 >> 4) + 3;
      size_t distance = (kLzssStartPosition + out - position) & (kLzssRingSize - 1);
      if (distance == 0) distance = kLzssRingSize;
      // A reference that starts below the limit runs whole, but never past capacity.
      if (count > capacity - out) count = capacity - out;
      CopyMatch(dst, out, distance, count);
      out += count;
    }
    flags >>= 1;
    --flagsLeft;
    if (in == end) break;
  }
  return out;
}
