// Decoding of every frame of a container into the output pixel block.
#include <cstdlib>
#include <cstring>

#include "mca/frame_stream.h"
#include "mca/mca_format.h"

namespace {

void FillPalette(McaSpan container, const McaHeader& header, McaPalette* palette) {
  std::memset(palette, 0, sizeof *palette);
  std::memcpy(palette->entry, container.data + kMcaHeaderSize, 4 * size_t(header.paletteCount));
}

// A frame's buffers are taken whether or not its stream touches them, so that
// running out of memory fails a picture the same way whatever its frames
// hold; the empty asm keeps the compiler from dropping an unused allocation.
uint8_t* TakeBuffer(size_t bytes) {
  void* p = std::malloc(bytes);
  asm volatile("" : : "g"(p) : "memory");
  return static_cast<uint8_t*>(p);
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
    // An empty payload still gets a buffer: malloc(0) may answer null.
    uint8_t* copy = TakeBuffer(frame.storedSize ? size_t(frame.storedSize) : 1);
    if (!copy) return 0;
    uint8_t* work = TakeBuffer(capacity);
    if (!work) {
      std::free(copy);
      return 0;
    }
    // The stream descrambles as it reads, so the payload copy stays unused,
    // and it stops after the last byte a row reads: the part of a frame that
    // lands in the picture is exact, and nothing beyond it is ever computed.
    FrameStream stream;
    const size_t rowBytes = size_t(McaFrameRowBytes(frame.width, header.pixelFormat));
    OpenFrameStream(container, frame, rowBytes, FrameBytesRead(frame, header.pixelFormat, canvas), work,
                    capacity, &stream);
    PlaceFrameRows(frame, &stream, header.pixelFormat, &canvas);
    std::free(work);
    std::free(copy);
  }

  if (callback && callback(1, 1, data) != 0) return 0;
  return 1;
}
