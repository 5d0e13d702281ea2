// make_sample OUTPUT.mca: writes the bundled sample picture, a 24-bit MCA of
// three compressed frames of different widths stacked into one picture.
#include <cmath>
#include <cstdio>

#include "tests/support/mca_builder.h"

namespace {

// A colour wheel over a soft vertical gradient, with a ring drawn on top.
TestFrame Band(int32_t width, int32_t height, int32_t top, int32_t pictureHeight) {
  TestFrame f;
  f.width = width;
  f.height = height;
  f.compressed = true;
  const size_t rowBytes = size_t(SourceRowBytes(width, 24));
  f.pixels.assign(rowBytes * size_t(height), 0);
  const double cx = 80, cy = 60;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const double dx = x - cx, dy = top + y - cy;
      const double angle = std::atan2(dy, dx);
      const double radius = std::sqrt(dx * dx + dy * dy);
      const double shade = 1.0 - 0.5 * (top + y) / pictureHeight;
      uint8_t* p = &f.pixels[size_t(y) * rowBytes + size_t(x) * 3];
      p[0] = uint8_t(shade * (128 + 127 * std::cos(angle + 4.18879)));  // blue
      p[1] = uint8_t(shade * (128 + 127 * std::cos(angle + 2.09440)));  // green
      p[2] = uint8_t(shade * (128 + 127 * std::cos(angle)));            // red
      if (radius > 40 && radius < 46) p[0] = p[1] = p[2] = 255;
    }
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUTPUT.mca\n");
    return 2;
  }
  TestContainer c;
  c.frames = {Band(160, 40, 0, 120), Band(150, 40, 40, 120), Band(160, 40, 80, 120)};
  const Bytes image = BuildContainer(c);
  FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
