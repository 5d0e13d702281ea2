// Payloads whole in one buffer, through the decoder's own pieces: the mask
// a frame stream builds and applies, and the expander run with the buffer as
// its window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/descramble.h"
#include "mca/lzss_expander.h"

// Descrambles `length` payload bytes in place (none for 0 or less).
inline void DescrambleWhole(uint8_t* buffer, int32_t length) {
  if (length <= 0) return;
  DescrambleMask mask;
  BuildDescrambleMask(length, &mask);
  ApplyDescrambleMask(mask, buffer, buffer, 0, size_t(length));
}

// Expands a stream of `length` bytes into dst of `capacity` bytes, stopping
// before a token at E (`limit`; 0 or less: nothing), as a frame's stream
// does; the bytes produced.
inline size_t ExpandWhole(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity, int32_t limit) {
  const size_t n = length > 0 ? size_t(length) : 0;
  const size_t stop = limit > 0 ? size_t(limit) : 0;
  LzssState state = {};
  RunLzss(LzssInput{src, 0, n, n}, LzssWindowOutput(dst, 0, capacity, capacity, stop, capacity), &state);
  return state.out;
}
