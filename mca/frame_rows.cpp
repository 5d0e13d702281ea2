// Placement of a frame's rows into the bottom-up 24-bit pixel block.
#include <cstring>

#include "mca/frame_stream.h"
#include "mca/container.h"
#include "mca/frame_rows.h"

namespace {

// Rows of the frame that land inside the pixel block. Rows go downwards from
// the destination row, which never lies above the top row, so these are the
// frame's first rows; the rest fall below row 0 and are skipped.
size_t RowsInside(const McaFrameHeader& frame, int64_t rowBytes, const McaCanvas& canvas) {
  if (rowBytes <= 0 || frame.height <= 0 || canvas.row < 0) return 0;
  int64_t rows = frame.height < canvas.row + 1 ? frame.height : canvas.row + 1;
  // A frame's stream counts at most the picture's bytes and 4 more, so the
  // rows of a source wider than the picture stop where that runs out.
  if (uint64_t(rows) > canvas.capacity / uint64_t(rowBytes)) rows = int64_t(canvas.capacity / uint64_t(rowBytes));
  return size_t(rows);
}

void ExpandIndexedRow(const uint8_t* indexes, uint8_t* out, size_t count, const McaPalette& palette) {
  if (count == 0) return;
  // Four bytes a pixel, each store overlapping the next pixel's; the last
  // pixel writes its three bytes alone so that nothing past it is touched.
  for (size_t i = 0; i + 1 < count; ++i) std::memcpy(out + 3 * i, palette.entry[indexes[i]], 4);
  std::memcpy(out + 3 * (count - 1), palette.entry[indexes[count - 1]], 3);
}

// A bottom-up BGR row's bytes into a top-down RGB row: byte j of the pixel row
// is channel j % 3 (blue, green, red) of pixel j / 3.
uint64_t Word(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Eight pixels, three words, at a time: byte j takes byte j + 2, j or j - 2
// as j % 3 is 0, 1 or 2, shifted in within its word or from the next.
void CopyEightPixelsAsRgb(const uint8_t* in, uint8_t* out) {
  const uint64_t a = Word(in), b = Word(in + 8), c = Word(in + 16);
  const uint64_t words[3] = {
      (a & 0xFF0000FF0000FF00ull) | ((a >> 16) & 0x00000000FF0000FFull) | ((a << 16) & 0x0000FF0000FF0000ull) |
          ((b << 48) & 0x00FF000000000000ull),
      (b & 0x0000FF0000FF0000ull) | ((a >> 48) & 0x00000000000000FFull) | ((b >> 16) & 0x000000FF0000FF00ull) |
          ((b << 16) & 0x00FF0000FF000000ull) | ((c << 48) & 0xFF00000000000000ull),
      (c & 0x00FF0000FF0000FFull) | ((b >> 48) & 0x000000000000FF00ull) | ((c >> 16) & 0x0000FF0000FF0000ull) |
          ((c << 16) & 0xFF0000FF00000000ull)};
  std::memcpy(out, words, 24);
}

void CopyRowAsRgb(const uint8_t* in, uint8_t* out, size_t bytes) {
  size_t j = 0;
  for (; j + 24 <= bytes; j += 24) CopyEightPixelsAsRgb(in + j, out + j);
  for (; j + 3 <= bytes; j += 3) {
    out[j] = in[j + 2];
    out[j + 1] = in[j + 1];
    out[j + 2] = in[j];
  }
  for (; j < bytes; ++j) out[j - j % 3 + 2 - j % 3] = in[j];
}

}  // namespace

FramePlacement PlanFrameRows(const McaFrameHeader& frame, int32_t pixelFormat, const McaCanvas& canvas) {
  FramePlacement p = {};
  p.top = canvas.row;
  const int64_t rowBytes = McaFrameRowBytes(frame.width, pixelFormat);
  p.rows = RowsInside(frame, rowBytes, canvas);
  if (p.rows == 0) return p;
  p.rowBytes = size_t(rowBytes);
  // Never more than the pixel row holds.
  const size_t limit = canvas.rowLimit;
  p.pixels = size_t(frame.width) < limit / 3 ? size_t(frame.width) : limit / 3;
  p.bytes = p.rowBytes < limit ? p.rowBytes : limit;
  return p;
}

namespace {

uint8_t* FrameRowAddress(const FramePlacement& p, size_t k, const McaCanvas& canvas) {
  const size_t row = size_t(p.top - int64_t(k));
  return canvas.pixels + (canvas.topDown ? size_t(canvas.height) - 1 - row : row) * canvas.stride;
}

void PlaceRowAt(const FramePlacement& p, const uint8_t* in, int32_t pixelFormat, const McaCanvas& canvas,
                  uint8_t* out) {
  if (pixelFormat == kMcaIndexedFormat) {
    ExpandIndexedRow(in, out, p.pixels, *canvas.palette);
  } else if (canvas.rgb) {
    CopyRowAsRgb(in, out, p.bytes);
  } else {
    std::memcpy(out, in, p.bytes);
  }
}

// Source row k goes to the sink as top-down row y, after the rows before it
// that no frame placed.
void EmitRow(const FramePlacement& p, size_t k, const uint8_t* in, int32_t pixelFormat, const McaCanvas& canvas) {
  McaRowEmitter* e = canvas.emitter;
  if (e->stopped) return;
  const int32_t y = int32_t(int64_t(canvas.height) - 1 - (p.top - int64_t(k)));
  EmitZeroRows(e, canvas.rowLimit, y);
  if (e->stopped) return;
  // What the row leaves of the buffer is black. An RGB row's partial last
  // pixel is written out of order, so the clearing goes first.
  const size_t written = pixelFormat == kMcaIndexedFormat ? 3 * p.pixels : p.bytes - p.bytes % 3;
  std::memset(e->buffer + written, 0, canvas.rowLimit - written);
  PlaceRowAt(p, in, pixelFormat, canvas, e->buffer);
  e->next = y + 1;
  if (e->row(e->context, y, e->buffer) != 0) e->stopped = true;
}

}  // namespace

void EmitZeroRows(McaRowEmitter* e, size_t rowBytes, int32_t y) {
  if (e->next >= y) return;
  std::memset(e->buffer, 0, rowBytes);
  for (; e->next < y && !e->stopped; ++e->next) {
    if (e->row(e->context, e->next, e->buffer) != 0) e->stopped = true;
  }
}

namespace {

// On a canvas to clear: zeroes the row from byte `written` to its end.
void ClearRowTail(uint8_t* row, size_t written, const McaCanvas& canvas) {
  if (canvas.clear && written < canvas.rowLimit) std::memset(row + written, 0, canvas.rowLimit - written);
}

}  // namespace

void ClearCanvasRows(const McaCanvas& canvas, int64_t from, int64_t to) {
  if (!canvas.clear || canvas.emitter) return;
  for (int64_t row = from; row >= to; --row) {
    const size_t y = canvas.topDown ? size_t(canvas.height) - 1 - size_t(row) : size_t(row);
    std::memset(canvas.pixels + y * canvas.stride, 0, canvas.rowLimit);
  }
}

void PlaceRow(const FramePlacement& p, size_t k, const uint8_t* in, int32_t pixelFormat, const McaCanvas& canvas) {
  if (canvas.emitter) {
    EmitRow(p, k, in, pixelFormat, canvas);
    return;
  }
  uint8_t* out = FrameRowAddress(p, k, canvas);
  // An RGB row's partial last pixel is written out of order: the clearing goes first.
  ClearRowTail(out, pixelFormat == kMcaIndexedFormat ? 3 * p.pixels : p.bytes - p.bytes % 3, canvas);
  PlaceRowAt(p, in, pixelFormat, canvas, out);
}

void PlaceFrameRows(const McaFrameHeader& frame, FrameStream* rows, int32_t pixelFormat, McaCanvas* canvas) {
  if (frame.height <= 0) return;
  const FramePlacement p = PlanFrameRows(frame, pixelFormat, *canvas);
  for (size_t k = 0; k < p.rows && !(canvas->emitter && canvas->emitter->stopped); ++k) {
    const uint8_t* row = NextFrameRow(rows);
    if (rows->readFailed) break;  // no row the payload did not give whole
    PlaceRow(p, k, row, pixelFormat, *canvas);
  }
  canvas->row -= frame.height;
}
