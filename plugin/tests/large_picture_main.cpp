// large_picture MEGABYTES EXPECTED | large_picture --largest: GetPicture of the
// plug-in in the working directory on a picture of about MEGABYTES x 10^6
// bytes of pixels (a 5 MB image, one 16000 x 100 frame listed again and
// again). With EXPECTED, passes when the answer is that code and, for 0, every
// row is exact. With --largest, finds the largest such picture this process
// decodes. Built plain and large-address-aware, to see both kinds of host.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/host/spi_plugin.h"
#include "tests/support/mca_builder.h"

namespace {

struct Outcome {
  int32_t code;
  bool exact;
};

Outcome Decode(const SpiPlugin& plugin, const TestFrame& frame, int32_t repeats) {
  const Bytes image = RepeatedFrameContainer(frame, repeats);
  HLOCAL info = nullptr, pixels = nullptr;
  const SpiResult r = SpiGetPicture(plugin, image.data(), int32_t(image.size()), 1, &info, &pixels, nullptr, 0);
  if (r.value != 0) return {r.value, false};
  // Bottom-up: the last row in memory is the frame's first row, and so on.
  const size_t rowBytes = frame.pixels.size() / size_t(frame.height);
  const size_t rows = size_t(frame.height) * size_t(repeats);
  const uint8_t* p = static_cast<const uint8_t*>(LocalLock(pixels));
  bool exact = p && LocalSize(pixels) == rowBytes * rows && r.stackDelta == 0;
  for (size_t k = 0; exact && k < rows; ++k) {
    const size_t sourceRow = k % size_t(frame.height);
    exact = std::memcmp(p + (rows - 1 - k) * rowBytes, &frame.pixels[sourceRow * rowBytes], rowBytes) == 0;
  }
  LocalFree(info);
  LocalFree(pixels);
  return {0, exact};
}

int32_t RepeatsFor(const TestFrame& frame, long megabytes) {
  return int32_t((megabytes * 1000000 + long(frame.pixels.size()) - 1) / long(frame.pixels.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const bool largest = argc == 2 && std::strcmp(argv[1], "--largest") == 0;
  if (!largest && argc != 3) {
    std::fprintf(stderr, "usage: large_picture MEGABYTES EXPECTED | large_picture --largest\n");
    return 2;
  }
  SpiPlugin plugin;
  if (!LoadSpiPlugin("zuvrek.spi", &plugin)) {
    std::fprintf(stderr, "large_picture: zuvrek.spi does not load\n");
    return 1;
  }
  const TestFrame frame = LargePictureFrame();
  int status = 0;
  if (largest) {
    // The frame is 4.8 MB of pixels; decoding is tried at whole frames.
    int32_t good = 0, bad = 448;  // 448 frames pass the largest pixel block
    while (bad - good > 1) {
      const int32_t mid = (good + bad) / 2;
      const Outcome o = Decode(plugin, frame, mid);
      (o.code == 0 && o.exact ? good : bad) = mid;
    }
    std::printf("large_picture: the largest picture decoded is 16000 x %d, %.1f MB of pixels\n", 100 * good,
                double(good) * double(frame.pixels.size()) / 1e6);
  } else {
    const long megabytes = std::strtol(argv[1], nullptr, 10);
    const int32_t expected = int32_t(std::strtol(argv[2], nullptr, 10));
    const int32_t repeats = RepeatsFor(frame, megabytes);
    const Outcome o = Decode(plugin, frame, repeats);
    std::printf("large_picture: 16000 x %d (%.1f MB of pixels) answered %d%s\n", 100 * repeats,
                double(repeats) * double(frame.pixels.size()) / 1e6, o.code,
                o.code == 0 ? (o.exact ? ", every row exact" : ", rows differ") : "");
    status = o.code == expected && (o.code != 0 || o.exact) ? 0 : 1;
  }
  UnloadSpiPlugin(&plugin);
  return status;
}
