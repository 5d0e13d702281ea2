// Decoding side by side, round by round: (a) our GetPicture, (b) the plain
// decoder, (c) memcpy of the pixel block, (d) a fresh block with the pixels
// copied in. Counters give medians and the medians of the per-round ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/bench_pictures.h"
#include "plugin/plugin_api.h"

namespace {

const std::vector<BenchPicture>& Pictures() {
  static const std::vector<BenchPicture> pictures = MakeBenchPictures();
  return pictures;
}

bool Ours(const Bytes& image) {
  HLOCAL info = nullptr, pixels = nullptr;
  if (GetPicture(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1, &info, &pixels, nullptr, 0) != 0) {
    return false;
  }
  LocalFree(info);
  LocalFree(pixels);
  return true;
}

void OneThread(bool one) {
  DWORD_PTR process, system;
  GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
  SetProcessAffinityMask(GetCurrentProcess(), one ? 1 : system);
}

// A line of /proc/self/status in kB, e.g. VmRSS or VmHWM.
double StatusKilobytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::strlen(key) + 1));
  }
  return 0;
}

// Resident memory a single decode adds at its peak, in MB.
double PeakMegabytes(const Bytes& image) {
  std::ofstream("/proc/self/clear_refs") << "5";  // resets the high-water mark
  const double before = StatusKilobytes("VmRSS");
  if (!Ours(image)) return -1;
  return (StatusKilobytes("VmHWM") - before) / 1024;
}

void Decode(benchmark::State& state) {
  const BenchPicture& picture = Pictures()[size_t(state.range(0))];
  state.SetLabel(picture.name);
  std::vector<RoundSeconds> rounds;
  for (auto _ : state) {
    const RoundSeconds r = TimeRound(picture, Ours, OneThread);
    state.SetIterationTime(r.ours);
    rounds.push_back(r);
  }
  const BenchFigures f = Summarise(rounds, picture.pixelBytes);
  state.counters["a_ms"] = f.ours * 1e3;
  state.counters["a1_ms"] = f.oursOne * 1e3;
  state.counters["a1/d"] = f.oursOneOverFresh;
  state.counters["b_ms"] = f.plain * 1e3;
  state.counters["c_ms"] = f.copy * 1e3;
  state.counters["d_ms"] = f.fresh * 1e3;
  state.counters["a/b"] = f.oursOverPlain;
  state.counters["a/c"] = f.oursOverCopy;
  state.counters["a/d"] = f.oursOverFresh;
  state.counters["MB/s"] = f.bytesPerSecond / 1e6;
  state.counters["peak_MB"] = PeakMegabytes(picture.image);
  state.counters["pixels_MB"] = double(picture.pixelBytes) / (1 << 20);
}

}  // namespace

BENCHMARK(Decode)->DenseRange(0, 4)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
