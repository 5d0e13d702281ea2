// MCA container: layout, geometry scan, payload transforms and frame composition.
// Everything here works on a byte span with its size and never reads outside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"

constexpr uint32_t kMcaHeaderSize = 48;
constexpr uint32_t kMcaFrameHeaderSize = 32;
constexpr int32_t kMcaIndexedFormat = 8;  // any other pixel format means 24-bit frames
constexpr int32_t kMcaMaxPaletteCount = 256;
constexpr int32_t kMcaDepth = 24;  // every picture is delivered at 24 bits
constexpr uint8_t kDescrambleSeed = 0x3B;
constexpr uint32_t kLzssRingSize = 4096;
constexpr uint32_t kLzssStartPosition = 4078;

// The data, in memory or (with `reader`, `data` null) read a piece at a time.
struct McaSpan {
  const uint8_t* data;
  size_t size;
  const mca_reader* reader = nullptr;
};

// Copies n bytes at `offset`, which lie inside the data; false when the
// reader fails.
bool ReadMcaBytes(McaSpan container, uint64_t offset, uint8_t* out, size_t n);

// The fields of the 48-byte head that the decoder uses, checked against the data.
struct McaHeader {
  int32_t pixelFormat;
  int32_t paletteCount;   // 0..256, the palette lies inside the data
  int32_t frameCount;     // <= 0: no frames; else the whole table lies inside the data
  uint32_t frameTableOffset;
};

// The fields of a frame's 32-byte head; the head lies inside the data.
struct McaFrameHeader {
  uint32_t compression;  // 0: stored, else LZSS
  int32_t width;
  int32_t height;
  int32_t storedSize;    // L
  int32_t expandedSize;  // E
  uint32_t payloadOffset;
};

struct McaGeometry {
  int32_t width;
  int32_t height;
  int32_t depth;
};

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
  uint8_t* pixels;
  size_t stride;       // bytes from one output row to the next
  int32_t height;      // rows in the pixel block
  int64_t row;         // next destination row; starts at height - 1, moves down
  const McaPalette* palette;  // in the canvas's byte order
  uint64_t capacity;   // K: the DIB's stride x height + 4, the most a frame's stream counts
  size_t rowLimit;     // bytes of an output row that frames may write
  bool topDown;
  bool rgb;
  // The pixel block is not zero-filled: each placed row clears what its frame
  // leaves of it, and rows no frame places are cleared (ClearCanvasRows).
  bool clear;
  // Optional: rows go to this emitter one at a time instead of the pixel
  // block (top-down RGB rows of rowLimit bytes).
  struct McaRowEmitter* emitter;
  bool readFailed = false;  // set by a decode whose reader failed
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

// The largest DIB pixel block: with K's 4 more bytes it still fits in a
// 32-bit signed size, so every build accepts the same pictures.
constexpr uint64_t kMcaMaxPixelBytes = 0x7FFFFFFFu - 4;

bool IsMcaSignature(const uint8_t* head);

// Row stride of a 24-bit row of `width` pixels, padded to 4 bytes; 0 for width <= 0.
int64_t McaRowStride(int32_t width);

// Bytes per source row of a frame in the given pixel format; 0 for width <= 0.
int64_t McaFrameRowBytes(int32_t width, int32_t pixelFormat);

// The fields of the 48 bytes at `head`, checked against the data's `size`:
// MCA_OK, MCA_BAD_PALETTE_COUNT, MCA_PALETTE_OUTSIDE or MCA_TABLE_OUTSIDE.
mca_status ParseMcaHeader(const uint8_t* head, uint64_t size, McaHeader* header);

// False when the head, palette or frame table does not lie inside the data,
// or a reader fails.
bool ReadMcaHeader(McaSpan container, McaHeader* header);

// Whether a 32-byte frame head at `offset` lies inside data of `size` bytes.
bool FrameHeadInside(uint32_t offset, uint64_t size);

// The fields of the 32-byte frame head `head`, which lies at `offset`.
void ParseMcaFrameHeader(const uint8_t* head, uint32_t offset, McaFrameHeader* frame);

// False when the table entry's 32-byte frame head does not lie inside the
// data, or a reader fails.
bool ReadMcaFrameHeader(McaSpan container, const McaHeader& header, int32_t index,
                        McaFrameHeader* frame);

// False for a broken container (see ReadMcaHeader, ReadMcaFrameHeader); the
// outputs are then untouched.
bool GetMcaGeometry(McaSpan container, McaGeometry* geometry);

// Descrambles `length` bytes in place.
void DescramblePayload(uint8_t* buffer, int32_t length);

// A payload's mask depends on its whole length and repeats every 512 bytes
// (byte i's mask is seed + i * length - i * (i - 1) / 2, modulo 256), so any
// stretch of a payload can be descrambled on its own.
constexpr uint32_t kDescrambleMaskPeriod = 512;
struct DescrambleMask {
  uint8_t byte[kDescrambleMaskPeriod];
};
void BuildDescrambleMask(int32_t length, DescrambleMask* mask);
// Descrambles payload bytes begin .. begin + count - 1 from src into dst
// (which may equal src); src and dst point at byte `begin`.
void ApplyDescrambleMask(const DescrambleMask& mask, const uint8_t* src, uint8_t* dst, size_t begin, size_t count);

// Expands an LZSS stream of `length` descrambled bytes into dst, which holds
// `capacity` bytes, stopping before the first token that starts at or after
// `limit` bytes of output. Returns the bytes produced (never more than
// capacity); bytes of dst past them may be left holding scratch.
size_t ExpandLzss(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity,
                  int32_t limit);

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
uint8_t* FrameRowAddress(const FramePlacement& placement, size_t k, const McaCanvas& canvas);

// On a canvas to clear: zeroes the row from byte `written` to its end.
void ClearRowTail(uint8_t* row, size_t written, const McaCanvas& canvas);

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


struct McaThreads;

// Decodes every frame into the zero-filled DIB pixel block of stride *
// height bytes. 1 on success, 0 on failure. `threads` may be null:
// everything runs on the calling thread.
int DecodeMcaDib(McaSpan container, uint8_t* pixels, size_t stride, int32_t height,
                 const McaThreads* threads = nullptr);

// Decodes every frame onto a zero-filled canvas whose palette is still to be
// filled (in the canvas's byte order). 1 on success, 0 when a frame's payload
// lies outside the data, its memory is not to be had or a read failed
// (canvas->readFailed). Data read through a reader is decoded on the calling
// thread alone. A canvas with an emitter places its rows on the calling
// thread; other threads may only expand compressed frames for it.
int DecodeMcaCanvas(McaSpan container, McaCanvas* canvas, const McaThreads* threads = nullptr);

// The frames of a container, in table order, and where each lands.
struct McaFramePlan {
  McaFrameHeader frame;
  FramePlacement placement;
  size_t needed;  // stream bytes its rows read
};

// Decodes the planned frames over several threads; false when memory for a
// frame is not to be had. Every frame's rows are its own: no two threads
// write one byte.
bool DecodeFramesInParallel(McaSpan container, const McaFramePlan* plans, size_t count, int32_t pixelFormat,
                            const McaCanvas& canvas, const McaThreads& threads);

// One compressed frame whose stream another thread expands while the calling
// thread places its rows; false when memory for it is not to be had.
bool DecodeCompressedFrameInParallel(McaSpan container, const McaFramePlan& plan, int32_t pixelFormat,
                                     const McaCanvas& canvas, const McaThreads& threads);
