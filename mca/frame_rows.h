// Where frames' rows land on the picture and how they are placed there: the
// canvas (a pixel block, or rows handed to a sink) and each frame's placement.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/container.h"

// 32-bit palette entries as they lie in the container (blue, green, red, unused).
// Entries the container does not supply stay zero: such indexes give black.
struct McaPalette {
  uint8_t entry[kMcaMaxPaletteCount][4];
};

// The output pixel block and the running destination row of the frame stack.
// Rows are counted from the bottom of the picture, as the 24-bit bottom-up
// DIB lays them out; a top-down canvas holds the same rows in reverse, and an
// RGB one each row's bytes in red, green, blue order.
struct McaCanvas {
  uint8_t* pixels = nullptr;
  size_t stride = 0;       // bytes from one output row to the next
  int32_t height = 0;      // rows in the pixel block
  int64_t row = 0;         // next destination row; starts at height - 1, moves down
  const McaPalette* palette = nullptr;  // in the canvas's byte order
  uint64_t capacity = 0;   // K: the DIB's stride x height + 4, the most a frame's stream counts
  size_t rowLimit = 0;     // bytes of an output row that frames may write
  bool topDown = false;
  bool rgb = false;
  // The pixel block is not zero-filled: each placed row clears what its frame
  // leaves of it, and rows no frame places are cleared (ClearCanvasRows).
  bool clear = false;
  // Optional: rows go to this emitter one at a time instead of the pixel
  // block (top-down RGB rows of rowLimit bytes).
  struct McaRowEmitter* emitter = nullptr;
};

// Hands rows, top row first, to a sink as frames place them; rows no frame
// places go as zeros. Only the calling thread places rows on such a canvas.
struct McaRowEmitter {
  int (*row)(void* context, int32_t y, const uint8_t* rgb);
  void* context;
  uint8_t* buffer;  // one row
  int32_t next;     // the next row the sink is owed
  bool stopped;     // the sink asked to stop; nothing more goes to it
};

// Hands the sink every row before `y` not yet handed, as zeros.
void EmitZeroRows(McaRowEmitter* emitter, size_t rowBytes, int32_t y);

struct FrameStream;

// Where a frame's rows land: its first `rows` source rows go to destination
// rows top, top - 1, ...; the rest fall outside the pixel block.
struct FramePlacement {
  int64_t top;
  size_t rows;
  size_t rowBytes;  // source row length
  size_t pixels;    // 8-bit rows: pixels each expands
  size_t bytes;     // 24-bit rows: bytes each copies
};

// The placement of a frame whose first row goes to the canvas's current row.
FramePlacement PlanFrameRows(const McaFrameHeader& frame, int32_t pixelFormat, const McaCanvas& canvas);

// On a canvas to clear: zeroes rows `from` down to `to` (counted from the
// bottom; none when from < to).
void ClearCanvasRows(const McaCanvas& canvas, int64_t from, int64_t to);
// Places source row k. Rows of different k never share a byte.
void PlaceRow(const FramePlacement& placement, size_t k, const uint8_t* in, int32_t pixelFormat,
              const McaCanvas& canvas);

// Places the rows of a frame that land in the pixel block, taking each
// source row from the frame's decoded stream, and moves the destination
// row past the whole frame.
void PlaceFrameRows(const McaFrameHeader& frame, FrameStream* rows, int32_t pixelFormat,
                    McaCanvas* canvas);
