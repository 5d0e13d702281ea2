// Decoding of every frame of a container into the output pixel block.
#include <cstdlib>
#include <cstring>

#include "mca/frame_stream.h"
#include "mca/container.h"
#include "mca/frame_decoder.h"
#include "mca/frame_rows.h"
#include "mca/parallel_frames.h"
#include "mca/mca_threads.h"

namespace {

// Entries as they lie are blue, green, red; an RGB canvas takes them reversed.
bool FillPalette(McaSpan container, const McaHeader& header, bool rgb, McaPalette* palette) {
  std::memset(palette, 0, sizeof *palette);
  if (!ReadMcaBytes(container, kMcaHeaderSize, &palette->entry[0][0], 4 * size_t(header.paletteCount))) return false;
  if (!rgb) return true;
  for (auto& e : palette->entry) {
    const uint8_t blue = e[0];
    e[0] = e[2];
    e[2] = blue;
  }
  return true;
}

bool PayloadInside(McaSpan container, const McaFrameHeader& frame) {
  return frame.storedSize >= 0 && uint64_t(frame.storedSize) <= container.size - frame.payloadOffset;
}

#ifndef ZUVREK_NO_THREADS
// The most frames placing rows that a threaded decode plans; beyond that the
// plan's memory outweighs what threads save, and frames go one by one.
constexpr size_t kMaxPlannedFrames = 1 << 16;

// Plans the frames that place rows, up to the first frame that is broken;
// counts them when `plans` is null. `intact` tells whether every frame was.
size_t PlanFrames(McaSpan container, const McaHeader& header, McaCanvas canvas, McaFramePlan* plans, bool* intact) {
  size_t count = 0;
  *intact = true;
  for (int32_t i = 0; i < header.frameCount; ++i) {
    McaFrameHeader frame;
    if (!ReadMcaFrameHeader(container, header, i, &frame) || !PayloadInside(container, frame)) {
      *intact = false;
      break;
    }
    if (frame.height <= 0) continue;
    const FramePlacement placement = PlanFrameRows(frame, header.pixelFormat, canvas);
    if (placement.rows > 0) {
      if (plans) plans[count] = McaFramePlan{frame, placement, placement.rows * placement.rowBytes};
      ++count;
    }
    canvas.row -= frame.height;
  }
  return count;
}

// Decodes on several threads; false when it cannot, with nothing written.
bool TryThreads(McaSpan container, const McaHeader& header, const McaCanvas& canvas, const McaThreads& threads,
                mca_status* result) {
  bool intact;
  const size_t count = PlanFrames(container, header, canvas, nullptr, &intact);
  if (count == 0 || count > kMaxPlannedFrames) return false;
  McaFramePlan* plans = static_cast<McaFramePlan*>(std::malloc(count * sizeof(McaFramePlan)));
  if (!plans) return false;
  PlanFrames(container, header, canvas, plans, &intact);
  // Rows between and after the planned frames' rows; no thread writes them.
  int64_t unplaced = int64_t(canvas.height) - 1;
  for (size_t i = 0; i < count; ++i) {
    ClearCanvasRows(canvas, unplaced, plans[i].placement.top + 1);
    unplaced = plans[i].placement.top - int64_t(plans[i].placement.rows);
  }
  ClearCanvasRows(canvas, unplaced, 0);
  const bool decoded = DecodeFramesInParallel(container, plans, count, header.pixelFormat, canvas, threads);
  std::free(plans);
  *result = !decoded ? MCA_NO_MEMORY : intact ? MCA_OK : MCA_PAYLOAD_OUTSIDE;
  return true;
}
#endif

}  // namespace

mca_status DecodeMcaCanvas(McaSpan container, McaCanvas* canvas, const McaThreads* threads) {
  // The decodes probe first: through a reader, heads the probe found whole
  // fail to be read again only when the reader fails.
  McaHeader header;
  McaPalette palette;
  if (canvas->height < 0) return MCA_NEGATIVE_HEIGHT;
  if (!ReadMcaHeader(container, &header) || !FillPalette(container, header, canvas->rgb, &palette)) {
    return container.reader ? MCA_READ_FAILED : MCA_HEAD_OUTSIDE;
  }
  canvas->palette = &palette;
  canvas->row = int64_t(canvas->height) - 1;

#ifndef ZUVREK_NO_THREADS
  const uint64_t pixelBytes = uint64_t(canvas->stride) * uint64_t(canvas->height);
  const bool threaded = threads && threads->count > 1 && !container.reader;
  mca_status result = MCA_OK;
  if (threaded && !canvas->emitter && pixelBytes >= threads->minPixelBytes &&
      TryThreads(container, header, *canvas, *threads, &result)) {
    canvas->palette = nullptr;
    return result;
  }
#else
  (void)threads;  // a platform without threads
#endif

  McaRowEmitter* emitter = canvas->emitter;
  // The next row down that no frame has placed yet: rows frames skip are
  // cleared as the frames go, and the rest on the way out.
  int64_t unplaced = int64_t(canvas->height) - 1;
  for (int32_t i = 0; i < header.frameCount && !(emitter && emitter->stopped); ++i) {
    McaFrameHeader frame;
    const bool headInside = ReadMcaFrameHeader(container, header, i, &frame);
    if (!headInside || !PayloadInside(container, frame)) {
      ClearCanvasRows(*canvas, unplaced, 0);
      if (container.reader) return MCA_READ_FAILED;
      return headInside ? MCA_PAYLOAD_OUTSIDE : MCA_FRAME_HEAD_OUTSIDE;
    }
    // The stream descrambles straight from the container and stops after
    // the last byte a row reads: the part of a frame that lands in the
    // picture is exact, and nothing beyond it is ever computed.
    const size_t rowBytes = size_t(McaFrameRowBytes(frame.width, header.pixelFormat));
    const FramePlacement placement = PlanFrameRows(frame, header.pixelFormat, *canvas);
    const size_t needed = placement.rows * placement.rowBytes;
    if (placement.rows > 0) {
      ClearCanvasRows(*canvas, unplaced, placement.top + 1);
      unplaced = placement.top - int64_t(placement.rows);
    }
#ifndef ZUVREK_NO_THREADS
    if (threaded && emitter && frame.compression != 0 && needed >= threads->minPixelBytes) {
      // Rows go to the sink in order from this thread; another expands.
      const McaFramePlan plan{frame, placement, needed};
      if (!DecodeCompressedFrameInParallel(container, plan, header.pixelFormat, *canvas, *threads)) {
        return MCA_NO_MEMORY;
      }
      if (frame.height > 0) canvas->row -= frame.height;
      continue;
    }
#endif
    uint8_t* window = static_cast<uint8_t*>(std::malloc(FrameWindowSize(rowBytes, needed)));
    if (!window) return MCA_NO_MEMORY;  // no picture: what was not written does not matter
    FrameStream stream;
    OpenFrameStream(container, frame, rowBytes, needed, window, &stream);
    PlaceFrameRows(frame, &stream, header.pixelFormat, canvas);
    std::free(window);
    if (stream.readFailed) return MCA_READ_FAILED;
  }
  canvas->palette = nullptr;
  ClearCanvasRows(*canvas, unplaced, 0);
  if (emitter) EmitZeroRows(emitter, canvas->rowLimit, canvas->height);
  return MCA_OK;
}
