#include "mca/payload_reach.h"

#include "mca/lzss_expander.h"

namespace {

// The most an LZSS stream of `in` bytes expands to: whole groups of eight
// references, then the rest (a flag byte, then references and at most one
// literal).
uint64_t LzssReach(uint64_t in) {
  const uint64_t rest = in % kLzssGroupInput;
  uint64_t out = in / kLzssGroupInput * kLzssGroupOutput;
  if (rest > 0) out += (rest - 1) / 2 * kLzssMaxCount + (rest - 1) % 2;
  return out;
}

}  // namespace

uint64_t FrameReach(const McaFrameHeader& frame, int32_t pixelFormat) {
  if (frame.width <= 0 || frame.height <= 0 || frame.storedSize <= 0) return 0;
  uint64_t given = uint64_t(frame.storedSize);
  if (frame.compression != 0) {
    if (frame.expandedSize <= 0) return 0;
    const uint64_t stop = uint64_t(frame.expandedSize) + kLzssMaxCount - 1;
    given = LzssReach(given);
    if (given > stop) given = stop;
  }
  const uint64_t rows = uint64_t(McaFrameRowBytes(frame.width, pixelFormat)) * uint64_t(frame.height);
  if (given > rows) given = rows;
  return pixelFormat == kMcaIndexedFormat ? 3 * given : given;
}

bool PictureUnfilled(uint64_t reach, uint64_t pictureBytes) {
  // A reach of the picture's size or more cannot overflow the product.
  return pictureBytes > kMcaUnfilledFloorBytes && reach < pictureBytes && kMcaUnfilledShare * reach < pictureBytes;
}
