#include "mca/box_scaler.h"

#include <cstdlib>
#include <cstring>

// Source pixel i spans [i x width, (i + 1) x width) and output pixel x spans
// [x x sourceWidth, (x + 1) x sourceWidth) on a common scale, so every weight
// is a whole number and each output pixel's weights add up to sourceWidth;
// rows likewise. A source pixel meets at most two output pixels.

bool OpenBoxScaler(BoxScaler* s, uint64_t sourceWidth, uint64_t sourceHeight, uint32_t width, uint32_t height,
                   int (*sink)(void*, int32_t, const uint8_t*), void* context) {
  *s = BoxScaler{};
  s->sourceWidth = sourceWidth;
  s->sourceHeight = sourceHeight;
  s->width = width;
  s->height = height;
  s->sink = sink;
  s->context = context;
  const size_t n = width;
  s->columns = static_cast<BoxSpan*>(std::malloc(n * sizeof(BoxSpan)));
  s->rowSums = static_cast<uint64_t*>(std::malloc(3 * n * sizeof(uint64_t)));
  s->sums = static_cast<uint64_t*>(std::calloc(3 * n, sizeof(uint64_t)));
  s->out = static_cast<uint8_t*>(std::malloc(3 * n));
  if (!s->columns || !s->rowSums || !s->sums || !s->out) {
    CloseBoxScaler(s);
    return false;
  }
  for (uint32_t x = 0; x < width; ++x) {
    const uint64_t begin = x * sourceWidth, end = begin + sourceWidth;
    BoxSpan& c = s->columns[x];
    c.first = size_t(begin / width);
    c.last = size_t((end - 1) / width);
    const uint64_t firstEnd = (uint64_t(c.first) + 1) * width;
    c.head = (firstEnd < end ? firstEnd : end) - begin;
    c.tail = end - uint64_t(c.last) * width;
  }
  return true;
}

void CloseBoxScaler(BoxScaler* s) {
  std::free(s->columns);
  std::free(s->rowSums);
  std::free(s->sums);
  std::free(s->out);
  *s = BoxScaler{};
}

namespace {

void ReduceAcross(const BoxScaler& s, const uint8_t* rgb) {
  const uint64_t full = s.width;  // the weight of a source pixel wholly inside
  for (uint32_t x = 0; x < s.width; ++x) {
    const BoxSpan& c = s.columns[x];
    const uint8_t* p = rgb + 3 * c.first;
    uint64_t* sum = s.rowSums + 3 * size_t(x);
    if (c.last == c.first) {
      for (int k = 0; k < 3; ++k) sum[k] = c.head * p[k];
      continue;
    }
    uint64_t r = 0, g = 0, b = 0;
    for (const uint8_t* q = p + 3; q < rgb + 3 * c.last; q += 3) {
      r += q[0];
      g += q[1];
      b += q[2];
    }
    const uint8_t* t = rgb + 3 * c.last;
    sum[0] = c.head * p[0] + full * r + c.tail * t[0];
    sum[1] = c.head * p[1] + full * g + c.tail * t[1];
    sum[2] = c.head * p[2] + full * b + c.tail * t[2];
  }
}

void Gather(BoxScaler& s, uint64_t weight) {
  for (size_t j = 0; j < 3 * size_t(s.width); ++j) s.sums[j] += weight * s.rowSums[j];
}

int Finish(BoxScaler& s) {
  const uint64_t area = s.sourceWidth * s.sourceHeight;
  for (size_t j = 0; j < 3 * size_t(s.width); ++j) {
    s.out[j] = uint8_t((s.sums[j] + area / 2) / area);
    s.sums[j] = 0;
  }
  return s.sink(s.context, int32_t(s.row++), s.out);
}

}  // namespace

int BoxScaleRow(void* scaler, int32_t y, const uint8_t* rgb) {
  BoxScaler& s = *static_cast<BoxScaler*>(scaler);
  (void)y;  // rows come in order, each once
  ReduceAcross(s, rgb);
  const uint64_t begin = s.sourceRow * s.height, end = begin + s.height;
  ++s.sourceRow;
  const uint64_t boundary = (uint64_t(s.row) + 1) * s.sourceHeight;
  if (end < boundary) {
    Gather(s, s.height);
    return 0;
  }
  Gather(s, boundary - begin);
  const int stop = Finish(s);
  if (end > boundary) Gather(s, end - boundary);
  return stop;
}
