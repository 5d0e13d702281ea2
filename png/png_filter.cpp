#include "png/png_filter.h"

#include <cstring>

// Sixteen bytes at a time in the compiler's vector types where the target has
// a vector unit (SSE2, NEON, WebAssembly's SIMD); elsewhere a byte at a time,
// which there is quicker than vectors the compiler has to take apart.
#if defined(__SSE2__) || defined(__ARM_NEON) || defined(__wasm_simd128__)
#define ZUVREK_FILTER_VECTORS 1
#endif

namespace {

constexpr size_t kBpp = 3;

#ifdef ZUVREK_FILTER_VECTORS
typedef uint8_t U8x16 __attribute__((vector_size(16)));
typedef uint16_t U16x8 __attribute__((vector_size(16)));

constexpr size_t kLanes = 16;
// Blocks whose magnitudes (two of at most 128 a lane) a 16-bit lane can add up.
constexpr size_t kBlocksPerSum = 255;

inline U8x16 Load(const uint8_t* p) {
  U8x16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void Store(uint8_t* p, U8x16 v) { std::memcpy(p, &v, sizeof v); }

template <typename V, typename M>
inline V Select(M mask, V yes, V no) {
  return V((M(yes) & mask) | (M(no) & ~mask));
}

// A byte taken as signed, as a magnitude: min(v, 256 - v).
inline U8x16 Magnitude(U8x16 v) {
  const U8x16 negated = U8x16(-v);
  return Select(v < negated, v, negated);
}

// The sum of a block's magnitudes, two bytes to a lane.
inline U16x8 PairSums(U8x16 m) {
  const U16x8 pairs = U16x8(m);
  return (pairs & 0xFF) + (pairs >> 8);
}

// Paeth's predictor in eight bits: |p - a| = |b - c|, |p - b| = |a - c| and
// |p - c| = |(a - c) + (b - c)|, the sum of the two when they lean the same
// way (held at 255, which no other distance passes), else their difference.
inline U8x16 PaethPredictor(U8x16 a, U8x16 b, U8x16 c) {
  const U8x16 aAbove = U8x16(a > c), bAbove = U8x16(b > c);
  const U8x16 pb = Select(aAbove, U8x16(a - c), U8x16(c - a));
  const U8x16 pa = Select(bAbove, U8x16(b - c), U8x16(c - b));
  const U8x16 sum = pa + pb;
  const U8x16 held = sum | U8x16(sum < pa);
  const U8x16 paLarger = U8x16(pa > pb);
  const U8x16 difference = Select(paLarger, U8x16(pa - pb), U8x16(pb - pa));
  const U8x16 pc = Select(U8x16(aAbove == bAbove), held, difference);
  const U8x16 ab = Select(U8x16(pb < pa), b, a);
  const U8x16 abMin = Select(U8x16(pb < pa), pb, pa);
  return Select(U8x16(pc < abMin), c, ab);
}

uint64_t LaneTotal(U16x8 v) {
  uint64_t total = 0;
  for (size_t i = 0; i < 8; ++i) total += v[i];
  return total;
}
#endif

inline uint8_t Paeth(int a, int b, int c) {
  const int pa = b > c ? b - c : c - b, pb = a > c ? a - c : c - a;
  const int pc = a + b - 2 * c < 0 ? 2 * c - a - b : a + b - 2 * c;
  const int ab = pb < pa ? b : a;
  const int abMin = pb < pa ? pb : pa;
  return uint8_t(pc < abMin ? c : ab);
}

inline uint8_t Magnitude(uint8_t v) { return v < 128 ? v : uint8_t(256 - v); }

// The four filters of bytes [from, to) one at a time, their magnitudes added.
void FilterBytes(const uint8_t* row, const uint8_t* up, size_t from, size_t to, uint8_t* const out[4],
                 uint64_t sums[5]) {
  for (size_t i = from; i < to; ++i) {
    const uint8_t x = row[i], b = up[i];
    const uint8_t a = i >= kBpp ? row[i - kBpp] : 0, c = i >= kBpp ? up[i - kBpp] : 0;
    const uint8_t f[4] = {uint8_t(x - a), uint8_t(x - b), uint8_t(x - ((a + b) >> 1)), uint8_t(x - Paeth(a, b, c))};
    sums[0] += Magnitude(x);
    for (int k = 0; k < 4; ++k) {
      out[k][i] = f[k];
      sums[k + 1] += Magnitude(f[k]);
    }
  }
}

}  // namespace

uint8_t FilterRgbRow(const uint8_t* row, const uint8_t* up, size_t n, uint8_t* scratch, const uint8_t** filtered) {
  uint8_t* const out[4] = {scratch, scratch + n, scratch + 2 * n, scratch + 3 * n};
  uint64_t sums[5] = {};
  // The first pixel has no left neighbour; the loops start after it.
  const size_t head = n < kBpp ? n : kBpp;
  FilterBytes(row, up, 0, head, out, sums);
  size_t i = head;
#ifdef ZUVREK_FILTER_VECTORS
  while (i + kLanes <= n) {
    U16x8 lanes[5] = {};
    for (size_t block = 0; block < kBlocksPerSum && i + kLanes <= n; ++block, i += kLanes) {
      const U8x16 x = Load(row + i), a = Load(row + i - kBpp), b = Load(up + i), c = Load(up + i - kBpp);
      // The average of a and b without leaving eight bits.
      const U8x16 average = (a & b) + ((a ^ b) >> 1);
      const U8x16 f[4] = {x - a, x - b, x - average, x - PaethPredictor(a, b, c)};
      lanes[0] += PairSums(Magnitude(x));
      for (int k = 0; k < 4; ++k) {
        Store(out[k] + i, f[k]);
        lanes[k + 1] += PairSums(Magnitude(f[k]));
      }
    }
    for (int k = 0; k < 5; ++k) sums[k] += LaneTotal(lanes[k]);
  }
  FilterBytes(row, up, i, n, out, sums);
#else
  // Each filter in a loop of its own, then each sum: simple loops a scalar
  // target runs quickest.
  for (size_t j = i; j < n; ++j) out[0][j] = uint8_t(row[j] - row[j - kBpp]);
  for (size_t j = i; j < n; ++j) out[1][j] = uint8_t(row[j] - up[j]);
  for (size_t j = i; j < n; ++j) out[2][j] = uint8_t(row[j] - ((row[j - kBpp] + up[j]) >> 1));
  for (size_t j = i; j < n; ++j) out[3][j] = uint8_t(row[j] - Paeth(row[j - kBpp], up[j], up[j - kBpp]));
  for (size_t j = i; j < n; ++j) sums[0] += Magnitude(row[j]);
  for (int k = 0; k < 4; ++k) {
    for (size_t j = i; j < n; ++j) sums[k + 1] += Magnitude(out[k][j]);
  }
#endif
  // The first of the smallest sums, none first.
  uint8_t best = 0;
  for (uint8_t k = 1; k < 5; ++k) {
    if (sums[k] < sums[best]) best = k;
  }
  *filtered = best == 0 ? row : out[best - 1];
  return best;
}
