// Decoding of every frame of a container into the output pixel block.
#include <cstdlib>
#include <cstring>

#include "mca/frame_stream.h"
#include "mca/mca_format.h"

namespace {

// Entries as they lie are blue, green, red; an RGB canvas takes them reversed.
void FillPalette(McaSpan container, const McaHeader& header, bool rgb, McaPalette* palette) {
  std::memset(palette, 0, sizeof *palette);
  std::memcpy(palette->entry, container.data + kMcaHeaderSize, 4 * size_t(header.paletteCount));
  if (!rgb) return;
  for (auto& e : palette->entry) {
    const uint8_t blue = e[0];
    e[0] = e[2];
    e[2] = blue;
  }
}

}  // namespace

int DecodeMcaCanvas(McaSpan container, McaCanvas* canvas) {
  McaHeader header;
  if (!ReadMcaHeader(container, &header) || canvas->height < 0) return 0;
  McaPalette palette;
  FillPalette(container, header, canvas->topDownRgb, &palette);
  canvas->palette = &palette;
  canvas->row = int64_t(canvas->height) - 1;

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
    const size_t needed = FrameBytesRead(frame, header.pixelFormat, *canvas);
    uint8_t* window = static_cast<uint8_t*>(std::malloc(FrameWindowSize(rowBytes, needed)));
    if (!window) return 0;
    FrameStream stream;
    OpenFrameStream(container, frame, rowBytes, needed, window, &stream);
    PlaceFrameRows(frame, &stream, header.pixelFormat, canvas);
    std::free(window);
    if (canvas->rowsFinal) {
      const int64_t above = int64_t(canvas->height) - 1 - canvas->row;
      canvas->rowsFinal(canvas->rowsFinalContext, above < canvas->height ? above : canvas->height);
    }
  }
  canvas->palette = nullptr;
  if (canvas->rowsFinal) canvas->rowsFinal(canvas->rowsFinalContext, canvas->height);
  return 1;
}

int DecodeMcaFrames(McaSpan container, uint8_t* pixels, ProgressCallback callback,
                    intptr_t data, size_t stride, int32_t height) {
  if (height < 0 || (height > 0 && stride > (SIZE_MAX - 4) / size_t(height))) return 0;
  McaCanvas canvas = {pixels, stride, height, 0, nullptr, uint64_t(stride) * uint64_t(height) + 4, stride, false,
                      nullptr, nullptr};
  if (!DecodeMcaCanvas(container, &canvas)) return 0;
  if (callback && callback(1, 1, data) != 0) return 0;
  return 1;
}
