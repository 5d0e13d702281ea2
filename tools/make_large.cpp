// make_large OUTPUT.mca MEGABYTES: writes a picture of about MEGABYTES x 10^6
// bytes of pixels in a file of about 5 MB, one stored 16000 x 100 frame listed
// again and again, for trying hosts on pictures near their memory limits.
#include <cstdio>
#include <cstdlib>

#include "tests/support/mca_builder.h"

int main(int argc, char** argv) {
  const long megabytes = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (megabytes <= 0 || megabytes > 2100) {
    std::fprintf(stderr, "usage: make_large OUTPUT.mca MEGABYTES (1 to 2100)\n");
    return 2;
  }
  const TestFrame frame = LargePictureFrame();
  const int32_t repeats = int32_t((megabytes * 1000000 + frame.pixels.size() - 1) / frame.pixels.size());
  const Bytes image = RepeatedFrameContainer(frame, repeats);
  FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "make_large: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("make_large: %s holds %d x %d pixels (%zu bytes of pixels) in %zu bytes\n", argv[1], frame.width,
              frame.height * repeats, frame.pixels.size() * size_t(repeats), image.size());
  return 0;
}
