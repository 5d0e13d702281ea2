// LZSS expansion alone on the benchmark's 24-bit and 8-bit 4000 x 3000
// streams, in one buffer of the expanded size: output bytes per second.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "tests/support/whole_stream.h"
#include "tests/support/mca_builder.h"

namespace {

struct Stream {
  Bytes plain;
  Bytes compressed;
};

const Stream& StreamOf(int64_t which) {
  static const Stream streams[2] = {
      [] {
        const TestFrame f = PictureFrame(4000, 3000, 24, true, 1);
        return Stream{f.pixels, CompressLzss(f.pixels)};
      }(),
      [] {
        const TestFrame f = PictureFrame(4000, 3000, 8, true, 2);
        return Stream{f.pixels, CompressLzss(f.pixels)};
      }(),
  };
  return streams[which];
}

void Expand(benchmark::State& state) {
  const Stream& s = StreamOf(state.range(0));
  state.SetLabel(state.range(0) == 0 ? "24-bit 4000x3000" : "8-bit 4000x3000");
  Bytes out(s.plain.size() + kLzssCopySlack);
  for (auto _ : state) {
    const size_t n = ExpandWhole(s.compressed.data(), int32_t(s.compressed.size()), out.data(), out.size(),
                                int32_t(s.plain.size()));
    benchmark::DoNotOptimize(n);
  }
  if (!std::equal(s.plain.begin(), s.plain.end(), out.begin())) state.SkipWithError("wrong bytes");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.plain.size()));
}

}  // namespace

BENCHMARK(Expand)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->MinTime(1.0);
