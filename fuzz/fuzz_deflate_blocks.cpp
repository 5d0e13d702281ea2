// The walk over a deflate stream's blocks on arbitrary bytes: it reads
// nothing outside them, and where it finds a final block, that block starts
// before the stream's end, which lies inside the bytes.
#include "fuzz/fuzz_check.h"
#include "png/deflate_chunk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t finalBit = 0, endBit = 0;
  if (FindFinalBlock(data, size, &finalBit, &endBit)) {
    FUZZ_CHECK(finalBit + 3 <= endBit);
    FUZZ_CHECK(endBit <= 8 * size);
  }
  return 0;
}
