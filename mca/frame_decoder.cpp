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

}  // namespace

int DecodeMcaFrames(McaSpan container, uint8_t* pixels, ProgressCallback callback,
                    intptr_t data, size_t stride, int32_t height) {
  McaHeader header;
  if (!ReadMcaHeader(container, &header) || height < 0) return 0;
  if (height > 0 && stride > (SIZE_MAX - 4) / size_t(height)) return 0;

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
    // The stream descrambles straight from the container and stops after
    // the last byte a row reads: the part of a frame that lands in the
    // picture is exact, and nothing beyond it is ever computed.
    const size_t rowBytes = size_t(McaFrameRowBytes(frame.width, header.pixelFormat));
    const size_t needed = FrameBytesRead(frame, header.pixelFormat, canvas);
    uint8_t* window = static_cast<uint8_t*>(std::malloc(FrameWindowSize(rowBytes, needed)));
    if (!window) return 0;
    FrameStream stream;
    OpenFrameStream(container, frame, rowBytes, needed, window, &stream);
    PlaceFrameRows(frame, &stream, header.pixelFormat, &canvas);
    std::free(window);
  }

  if (callback && callback(1, 1, data) != 0) return 0;
  return 1;
}
