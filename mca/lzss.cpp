// LZSS expansion of a descrambled stream into one buffer.
#include "mca/lzss_expander.h"

size_t ExpandLzss(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity, int32_t limit) {
  if (length <= 0 || limit <= 0) return 0;
  LzssState state = {};
  LzssOutput output;
  output.window = dst;
  output.base = 0;
  output.pause = capacity;
  output.capacity = capacity;
  output.limit = size_t(limit);
  output.writable = capacity;
  RunLzss(LzssInput{src, 0, size_t(length), size_t(length)}, output, &state);
  return state.out;
}
