// LZSS expansion of a descrambled stream into one buffer.
#include "mca/lzss_expander.h"

size_t ExpandLzss(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity, int32_t limit) {
  if (length <= 0 || limit <= 0) return 0;
  LzssState state = {};
  RunLzss(LzssInput{src, 0, size_t(length), size_t(length)}, &state, dst, 0, capacity, capacity, size_t(limit), capacity);
  return state.out;
}
