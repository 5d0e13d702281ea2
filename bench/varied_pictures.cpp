#include "bench/varied_pictures.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;

uint8_t Clamp(double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); }

// A stored frame whose pixel (x, y) is pixel(x, y, bgr).
template <typename Pixel>
VariedPicture Picture(const char* name, Pixel pixel) {
  TestFrame f;
  f.width = kWidth;
  f.height = kHeight;
  const size_t row = size_t(SourceRowBytes(kWidth, 24));
  f.pixels.assign(row * kHeight, 0);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) pixel(x, y, &f.pixels[size_t(y) * row + 3 * size_t(x)]);
  }
  TestContainer c;
  c.frames = {f};
  return {name, BuildContainer(c)};
}

}  // namespace

std::vector<VariedPicture> MakeVariedPictures() {
  std::vector<VariedPicture> pictures;
  // Bands of 1 to 40 columns in random colours, checks in some, faint noise.
  Random r{7};
  std::vector<uint32_t> bandColour(kWidth);
  for (int32_t x = 0; x < kWidth;) {
    const int32_t width = 1 + int32_t(r.Next() % 40);
    const uint32_t colour = r.Next();
    for (int32_t k = 0; k < width && x < kWidth; ++k) bandColour[size_t(x++)] = colour;
  }
  pictures.push_back(Picture("vertical bands and checks", [&](int32_t x, int32_t y, uint8_t* p) {
    uint32_t c = bandColour[size_t(x)];
    if ((c & 0x3000000) == 0 && ((x / 8 + y / 8) & 1)) c = ~c;
    const int noise = int(r.Next() % 5) - 2;
    for (int k = 0; k < 3; ++k) p[k] = Clamp(double((c >> (8 * k)) & 0xFF) + noise);
  }));
  pictures.push_back(Picture("gradients", [](int32_t x, int32_t y, uint8_t* p) {
    p[0] = uint8_t(255 * x / kWidth);
    p[1] = uint8_t(255 * y / kHeight);
    p[2] = uint8_t(255 * (x + y) / (kWidth + kHeight));
  }));
  Random n{11};
  pictures.push_back(Picture("noise", [&](int32_t, int32_t, uint8_t* p) {
    const uint32_t v = n.Next();
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  }));
  // Smooth shapes from a few low waves, edges where they cross, grain.
  Random g{13};
  pictures.push_back(Picture("photo-like", [&](int32_t x, int32_t y, uint8_t* p) {
    const double u = x / 400.0, v = y / 300.0;
    const double light = 0.5 + 0.25 * std::sin(u * 1.3 + std::cos(v * 0.7)) + 0.2 * std::cos(v * 1.9 - u * 0.4);
    const double shade = std::sin(u * 3.1) * std::sin(v * 2.3) > 0.3 ? 0.75 : 1.0;
    const double grain = (int(g.Next() % 9) - 4) * 1.5;
    p[0] = Clamp(255 * light * shade * 0.8 + grain);
    p[1] = Clamp(255 * light * shade * (0.7 + 0.2 * std::sin(u)) + grain);
    p[2] = Clamp(255 * light * (0.9 - 0.3 * shade) + grain);
  }));
  return pictures;
}
