// The MCA container: its layout, its heads and the picture's geometry, read
// from a byte span (or a reader) without ever reading outside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"

constexpr uint32_t kMcaHeaderSize = 48;
constexpr uint32_t kMcaFrameHeaderSize = 32;
constexpr int32_t kMcaIndexedFormat = 8;  // any other pixel format means 24-bit frames
constexpr int32_t kMcaMaxPaletteCount = 256;
constexpr int32_t kMcaDepth = 24;  // every picture is delivered at 24 bits

// The largest DIB pixel block: with K's 4 more bytes it still fits in a
// 32-bit signed size, so every build accepts the same pictures.
constexpr uint64_t kMcaMaxPixelBytes = 0x7FFFFFFFu - 4;

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

