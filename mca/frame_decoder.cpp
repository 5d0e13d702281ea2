// Decoding of every frame of a container into the output pixel block.
#include <cstdlib>
#include <cstring>

#include "mca/mca_format.h"

namespace {

// An LZSS token produces at least one byte and takes at most two bytes plus
// an eighth of a flag byte, so this much of the stream always covers `output`
// bytes; the rest of a payload is never looked at.
size_t StreamBytesFor(size_t output) { return 2 * output + output / 8 + 8; }

void FillPalette(McaSpan container, const McaHeader& header, McaPalette* palette) {
  std::memset(palette, 0, sizeof *palette);
  std::memcpy(palette->entry, container.data + kMcaHeaderSize, 4 * size_t(header.paletteCount));
}

// Produces the first `needed` bytes of the frame's pixel data in `work`:
// descrambled into `copy`, then expanded or copied. Bytes the payload does not
// produce are zero, so a short frame gives the same picture every time.
void DecodeFramePixels(McaSpan container, const McaFrameHeader& frame, uint8_t* copy,
                       uint8_t* work, size_t needed) {
  const size_t stored = size_t(frame.storedSize);
  const uint8_t* payload = container.data + frame.payloadOffset;
  size_t produced;
  if (frame.compression != 0) {
    const size_t take = StreamBytesFor(needed) < stored ? StreamBytesFor(needed) : stored;
    DescramblePrefix(payload, copy, frame.storedSize, take);
    produced = ExpandLzss(copy, int32_t(take), work, needed, frame.expandedSize);
  } else {
    produced = needed < stored ? needed : stored;
    DescramblePrefix(payload, copy, frame.storedSize, produced);
    std::memcpy(work, copy, produced);
  }
  std::memset(work + produced, 0, needed - produced);
}

}  // namespace

int DecodeMcaFrames(McaSpan container, uint8_t* pixels, ProgressCallback callback,
                    intptr_t data, size_t stride, int32_t height) {
  McaHeader header;
  if (!ReadMcaHeader(container, &header) || height < 0) return 0;
  if (height > 0 && stride > (SIZE_MAX - 4) / size_t(height)) return 0;
  const size_t capacity = stride * size_t(height) + 4;

  McaPalette palette;
  FillPalette(container, header, &palette);
  McaCanvas canvas = {pixels, stride, height, int64_t(height) - 1, &palette};

  for (int32_t i = 0; i < header.frameCount; ++i) {
    McaFrameHeader frame;
    if (!ReadMcaFrameHeader(container, header, i, &frame)) return 0;
    if (frame.storedSize < 0 ||
        uint64_t(frame.storedSize) > container.size - frame.payloadOffset) {
      return 0;
    }
    // Both buffers are taken for every frame, even one that places no rows,
    // so running out of memory fails the same way whatever the frame holds.
    // An empty payload still gets a buffer: malloc(0) may answer null.
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(frame.storedSize ? size_t(frame.storedSize) : 1));
    if (!copy) return 0;
    uint8_t* work = static_cast<uint8_t*>(std::malloc(capacity));
    if (!work) {
      std::free(copy);
      return 0;
    }
    // Only the bytes that rows read are produced: the decoded prefix is exact,
    // and what lies beyond it is never seen.
    DecodeFramePixels(container, frame, copy, work, FrameBytesRead(frame, header.pixelFormat, canvas));
    PlaceFrameRows(frame, work, header.pixelFormat, &canvas);
    std::free(work);
    std::free(copy);
  }

  if (callback && callback(1, 1, data) != 0) return 0;
  return 1;
}
