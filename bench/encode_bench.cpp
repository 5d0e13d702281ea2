// encode_bench FILE.mca...: mca_encode on each picture's pixels, at each
// level, on every processor and on one: seconds (median of 3), the file's
// size, and that size beside the same frames coded by a plain greedy
// longest-match coder (tests/support's). Then, on the first picture, the
// level 1 size and time for bands of several sizes, which chose MCA_BAND_BYTES.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mca/mca.h"
#include "tests/support/mca_builder.h"

namespace {

struct Picture {
  std::string name;
  int32_t width = 0, height = 0;
  Bytes rgb;
};

bool Load(const char* path, Picture* p) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  Bytes data;
  uint8_t chunk[1 << 16];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) data.insert(data.end(), chunk, chunk + n);
  std::fclose(f);
  mca_info info;
  if (mca_probe(data.data(), data.size(), &info, nullptr) != MCA_OK) return false;
  p->name = path;
  p->name = p->name.substr(p->name.find_last_of('/') + 1);
  p->width = info.width;
  p->height = info.height;
  p->rgb.resize(3 * size_t(info.width) * size_t(info.height));
  return mca_decode(data.data(), data.size(), nullptr, p->rgb.data(), 3 * size_t(info.width), p->rgb.size(),
                    nullptr) == MCA_OK;
}

int Row(void* context, int32_t y, uint8_t* into) {
  const Picture& p = *static_cast<const Picture*>(context);
  std::memcpy(into, p.rgb.data() + 3 * size_t(p.width) * size_t(y), 3 * size_t(p.width));
  return 0;
}

int Write(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
  Bytes& out = *static_cast<Bytes*>(context);
  if (out.size() < offset + size) out.resize(offset + size);
  std::memcpy(out.data() + offset, bytes, size);
  return 1;
}

double Encode(const Picture& p, int32_t level, uint32_t threads, int32_t bandHeight, Bytes* file) {
  mca_options o;
  mca_default_options(&o);
  o.level = level;
  o.threads = threads;
  o.band_height = bandHeight;
  const mca_row_source source{Row, const_cast<Picture*>(&p)};
  std::vector<double> seconds;
  for (int round = 0; round < 3; ++round) {
    file->clear();
    const mca_writer writer{Write, file};
    const auto start = std::chrono::steady_clock::now();
    if (mca_encode(p.width, p.height, &o, &source, &writer, nullptr) != MCA_OK) return -1;
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds[1];
}

uint32_t Le32(const Bytes& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// The file with each frame's payload coded greedily instead (stored where
// that is smaller), from the frame rows the encoder made of the picture.
size_t GreedySize(const Picture& p, const Bytes& file) {
  const bool indexed = Le32(file, 20) == 8;
  const uint32_t entries = Le32(file, 24), frames = Le32(file, 32);
  std::vector<int> index(1 << 24, 0);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = file.data() + 48 + 4 * i;
    index[e[2] << 16 | e[1] << 8 | e[0]] = int(i);
  }
  size_t size = 48 + 4 * size_t(entries) + 4 * size_t(frames);
  int32_t y = 0;
  for (uint32_t f = 0; f < frames; ++f) {
    const size_t at = Le32(file, 48 + 4 * size_t(entries) + 4 * f);
    const int32_t height = int32_t(Le32(file, at + 16));
    const size_t rowBytes = indexed ? (size_t(p.width) + 3) / 4 * 4 : (3 * size_t(p.width) + 3) / 4 * 4;
    Bytes rows(rowBytes * size_t(height), 0);
    for (int32_t r = 0; r < height; ++r, ++y) {
      const uint8_t* in = p.rgb.data() + 3 * size_t(p.width) * size_t(y);
      uint8_t* out = rows.data() + rowBytes * size_t(r);
      for (int32_t x = 0; x < p.width; ++x, in += 3) {
        if (indexed) {
          out[x] = uint8_t(index[in[0] << 16 | in[1] << 8 | in[2]]);
        } else {
          out[3 * x] = in[2];
          out[3 * x + 1] = in[1];
          out[3 * x + 2] = in[0];
        }
      }
    }
    size += 32 + std::min(CompressLzss(rows).size(), rows.size());
  }
  return size;
}

// A line of /proc/self/status in KiB (VmHWM: the peak resident memory).
long StatusKib(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  long value = 0;
  while (f && std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, field, std::strlen(field)) == 0) value = std::atol(line + std::strlen(field) + 1);
  }
  if (f) std::fclose(f);
  return value;
}

int GradientRow(void*, int32_t y, uint8_t* into) {
  for (int32_t x = 0; x < 16000; ++x, into += 3) {
    into[0] = uint8_t(x / 64);
    into[1] = uint8_t(y / 64);
    into[2] = uint8_t((x ^ y) & 0x0F);
  }
  return 0;
}

int CountOnly(void* context, uint64_t, const uint8_t*, size_t size) {
  *static_cast<uint64_t*>(context) += size;
  return 1;
}

void Bands(const Picture& p) {
  std::printf("\nBands of %s, level 1, every processor:\n\n", p.name.c_str());
  std::printf("| band KiB | frames | s | MB |\n|---|---|---|---|\n");
  const size_t rowBytes = (3 * size_t(p.width) + 3) / 4 * 4;
  for (size_t kib : {32, 64, 128, 256, 1024, 4096}) {
    const int32_t rows = int32_t(std::max<size_t>(1, kib * 1024 / rowBytes));
    Bytes file;
    const double seconds = Encode(p, 1, 0, rows, &file);
    std::printf("| %zu | %u | %.3f | %.3f |\n", kib, Le32(file, 32), seconds, double(file.size()) / 1e6);
  }
}

void PeakOfAHugeEncode() {
  uint64_t written = 0;
  const mca_row_source gradient{GradientRow, nullptr};
  const mca_writer counter{CountOnly, &written};
  FILE* reset = std::fopen("/proc/self/clear_refs", "w");
  if (reset) {
    std::fputs("5", reset);  // resets the high-water mark
    std::fclose(reset);
  }
  const long before = StatusKib("VmHWM");
  const auto start = std::chrono::steady_clock::now();
  mca_options o;
  mca_default_options(&o);
  const mca_status status = mca_encode(16000, 16000, &o, &gradient, &counter, nullptr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("\nA 16000 x 16000 picture (768 MB of pixels), level 1, every processor: %s, %.2f s, %.1f MB written, "
              "%.1f MiB of peak memory added\n", status == MCA_OK ? "written" : "failed", seconds,
              double(written) / 1e6, double(StatusKib("VmHWM") - before) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Picture> pictures;
  for (int i = 1; i < argc; ++i) {
    Picture p;
    if (!Load(argv[i], &p)) {
      std::fprintf(stderr, "encode_bench: %s: cannot be read\n", argv[i]);
      return 1;
    }
    pictures.push_back(std::move(p));
  }
  std::printf("| picture | level | s, %d threads | s, 1 thread | MB | greedy MB | size / greedy |\n",
              int(mca_processors()));
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const Picture& p : pictures) {
    for (int32_t level = 1; level <= MCA_MAX_LEVEL; ++level) {
      Bytes file;
      const double one = Encode(p, level, 1, 0, &file);
      const double all = Encode(p, level, 0, 0, &file);
      const size_t greedy = GreedySize(p, file);
      std::printf("| %s | %d | %.3f | %.3f | %.3f | %.3f | %.5f |\n", p.name.c_str(), int(level), all, one,
                  double(file.size()) / 1e6, double(greedy) / 1e6, double(file.size()) / double(greedy));
    }
  }
  if (!pictures.empty()) Bands(pictures[0]);
  PeakOfAHugeEncode();
  return 0;
}
