// Area-average downscaling of a stream of rows: each output pixel is the
// mean of the source area it covers, source pixels on its edges counted by
// the part that lies inside. Exact integer weights; memory is a few output
// rows, whatever the source's size.
#pragma once

#include <cstddef>
#include <cstdint>

struct BoxSpan {
  size_t first;     // first source pixel (or row) it covers
  size_t last;      // last one
  uint64_t head;    // weight of the first
  uint64_t tail;    // weight of the last, when last > first
};

struct BoxScaler {
  uint64_t sourceWidth, sourceHeight;
  uint32_t width, height;      // output
  BoxSpan* columns;            // width entries
  uint64_t* rowSums;           // 3 x width: the current source row, reduced across
  uint64_t* sums;              // 3 x width: the output row being gathered
  uint8_t* out;                // 3 x width
  uint32_t row;                // output row being gathered
  uint64_t sourceRow;          // next source row expected
  int (*sink)(void* context, int32_t y, const uint8_t* rgb);
  void* context;
};

// False when its memory is not to be had. width <= sourceWidth, height <= sourceHeight, all >= 1.
bool OpenBoxScaler(BoxScaler* s, uint64_t sourceWidth, uint64_t sourceHeight, uint32_t width, uint32_t height,
                   int (*sink)(void*, int32_t, const uint8_t*), void* context);
void CloseBoxScaler(BoxScaler* s);

// Takes source rows in order; hands each finished output row to the sink and
// answers its result (non-zero: stop).
int BoxScaleRow(void* scaler, int32_t y, const uint8_t* rgb);
