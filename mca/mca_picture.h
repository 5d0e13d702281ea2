// MCA pictures for programs that are not 00IN hosts: probe a byte span for
// its geometry and frame list, and decode it into a caller's buffer as
// top-down RGB. The pixels, bounds and work limits are the plug-in's: the
// same decoder places the same bytes, only in RGB order and top row first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/mca_format.h"

enum McaStatus : int32_t {
  kMcaOk = 0,
  kMcaNotMca,             // the data does not begin with "MCA"
  kMcaHeadOutside,        // shorter than the 48-byte head
  kMcaBadPaletteCount,    // palette count below 0 or above 256
  kMcaPaletteOutside,
  kMcaTableOutside,
  kMcaFrameHeadOutside,   // McaProblem::frame tells which
  kMcaPayloadOutside,     // McaProblem::frame tells which
  kMcaTooLarge,           // negative height, or more pixels than a picture may hold
  kMcaNoMemory,
};

// What went wrong, in enough detail to tell a user.
struct McaProblem {
  McaStatus status;
  int32_t frame;  // 0-based, for the frame statuses
  int64_t value;  // the palette count, or the picture's height
};

struct McaPictureInfo {
  int32_t width;
  int32_t height;
  int32_t pixelFormat;   // 8: palette indexes; anything else: 24-bit pixels
  int32_t paletteCount;
  int32_t frameCount;    // entries of the frame table (0 when it says less)
};

struct McaFrameInfo {
  int32_t width;
  int32_t height;
  int32_t storedSize;
  int32_t expandedSize;
  bool compressed;
};

// Checks the signature, the head, the palette, the frame table, every frame's
// head and payload and the picture's size, reading nothing outside the span.
McaStatus McaProbe(McaSpan data, McaPictureInfo* info, McaProblem* problem);

// Frame `index` of a probed picture.
McaFrameInfo McaGetFrame(McaSpan data, int32_t index);

// Decodes a probed picture into `rgb`, `stride` bytes a row (at least 3 x
// width), top row first. Every row's 3 x width pixel bytes are set (what no
// frame covers is black); bytes between rows are not touched, and the last
// row ends right after its pixels.
// `rowsFinal`, if given, is called (on the decoding thread) with the number
// of rows from the top that are final, as they become so, last with height.
struct McaRowsFinal {
  void (*call)(void* context, int64_t rows);
  void* context;
};
// `threads` is how many threads the decode may use, the calling one included
// (0: one a processor); a caller that already runs pictures side by side asks
// for 1. With `rowsFinal` the decode runs on the calling thread alone.
McaStatus McaDecodeRgb(McaSpan data, const McaPictureInfo& info, uint8_t* rgb, size_t stride,
                       McaProblem* problem, const McaRowsFinal* rowsFinal = nullptr, int32_t threads = 1);

// The problem in words, e.g. "frame 3's head lies outside the file"; writes
// at most `room` bytes, always ending with a zero byte.
void McaDescribeProblem(const McaProblem& problem, char* text, size_t room);
