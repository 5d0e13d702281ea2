// png_stages FILE...: where mcadec's PNG time goes, stage by stage on one
// thread (median of ROUNDS, default 5): the decode into memory, the row
// filter, the deflate of the filtered rows in the encoder's chunks, and the
// write of the deflated bytes to a file. Milliseconds, one line a picture.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "mca/mca.h"
#include "png/deflate_chunk.h"
#include "png/png_filter.h"

namespace {

double MedianMs(int rounds, const std::function<void()>& stage) {
  std::vector<double> ms;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    stage();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = std::getenv("ROUNDS") ? std::atoi(std::getenv("ROUNDS")) : 5;
  std::printf("| picture | decode ms | filter ms | deflate ms | write ms | PNG MB |\n|---|---|---|---|---|---|\n");
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    mca_info info;
    if (mca_probe(data.data(), data.size(), &info, nullptr) != MCA_OK) {
      std::fprintf(stderr, "png_stages: %s is no picture to decode\n", argv[i]);
      return 1;
    }
    const size_t n = 3 * size_t(info.width), height = size_t(info.height);
    std::vector<uint8_t> pixels(n * height), filtered((n + 1) * height), scratch(4 * n), zeros(n);
    std::vector<std::vector<uint8_t>> chunks;
    const double decode = MedianMs(rounds, [&] {
      mca_decode(data.data(), data.size(), nullptr, pixels.data(), n, pixels.size(), nullptr);
    });
    const double filter = MedianMs(rounds, [&] {
      for (size_t y = 0; y < height; ++y) {
        const uint8_t* row = &pixels[y * n];
        const uint8_t* out = row;
        filtered[y * (n + 1)] = FilterRgbRow(row, y ? row - n : zeros.data(), n, scratch.data(), &out);
        std::copy(out, out + n, &filtered[y * (n + 1) + 1]);
      }
    });
    const size_t chunkBytes = std::max<size_t>(1, (1 << 20) / (n + 1)) * (n + 1);
    ChunkDeflater* deflater = NewChunkDeflater(kDeflateAutoLevel, false);
    const double deflate = MedianMs(rounds, [&] {
      chunks.clear();
      for (size_t at = 0; at < filtered.size(); at += chunkBytes) {
        chunks.emplace_back();
        const size_t bytes = std::min(chunkBytes, filtered.size() - at);
        DeflateChunk(deflater, &filtered[at], bytes, at + bytes == filtered.size(), &chunks.back());
      }
    });
    FreeChunkDeflater(deflater);
    size_t pngBytes = 0;
    for (const std::vector<uint8_t>& c : chunks) pngBytes += c.size();
    const double write = MedianMs(rounds, [&] {
      FILE* out = std::tmpfile();
      for (const std::vector<uint8_t>& c : chunks) std::fwrite(c.data(), 1, c.size(), out);
      std::fclose(out);
    });
    std::printf("| %s | %.1f | %.1f | %.1f | %.1f | %.2f |\n", argv[i], decode, filter, deflate, write, pngBytes / 1e6);
  }
  return 0;
}
