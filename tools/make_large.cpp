// make_large OUTPUT.mca MEGABYTES: writes a picture of about MEGABYTES x 10^6
// bytes of pixels in a file of about 5 MB, one stored 16000 x 100 frame listed
// again and again, for trying hosts on pictures near their memory limits.
// make_large --sparse OUTPUT.mca WIDTH HEIGHT [REPEATS]: a file of a few
// bytes whose picture is REPEATS frames of WIDTH x HEIGHT, all black but one
// byte, for trying thumbnailers and viewers on hostile files.
// make_large --filled OUTPUT.mca WIDTH HEIGHT: a black picture whose LZSS
// payload really fills it, in a file of about 17 bytes for every 144 of
// pixels, for telling a large picture from a damaged one.
// make_large --solid OUTPUT.mca WIDTH HEIGHT RRGGBB: a picture of one colour,
// for finding on the screen of a viewer that shows it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/mca_builder.h"

namespace {

int Write(const char* path, const Bytes& image) {
  FILE* f = std::fopen(path, "wb");
  if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "make_large: cannot write %s\n", path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--filled") == 0) {
    const long width = std::strtol(argv[3], nullptr, 10), height = std::strtol(argv[4], nullptr, 10);
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
      std::fprintf(stderr, "usage: make_large --filled OUTPUT.mca WIDTH HEIGHT (sides up to 16384)\n");
      return 2;
    }
    return Write(argv[2], ZeroReferenceContainer(int32_t(width), int32_t(height)));
  }
  if (argc == 6 && std::strcmp(argv[1], "--solid") == 0) {
    const long width = std::strtol(argv[3], nullptr, 10), height = std::strtol(argv[4], nullptr, 10);
    const unsigned long rgb = std::strtoul(argv[5], nullptr, 16);
    if (width < 1 || height < 1 || width > 4096 || height > 4096 || rgb > 0xFFFFFF) {
      std::fprintf(stderr, "usage: make_large --solid OUTPUT.mca WIDTH HEIGHT RRGGBB (sides up to 4096)\n");
      return 2;
    }
    return Write(argv[2], SolidContainer(int32_t(width), int32_t(height), uint32_t(rgb)));
  }
  if (argc >= 5 && std::strcmp(argv[1], "--sparse") == 0) {
    const long width = std::strtol(argv[3], nullptr, 10), height = std::strtol(argv[4], nullptr, 10);
    const long repeats = argc == 6 ? std::strtol(argv[5], nullptr, 10) : 1;
    if (width < 1 || height < 1 || repeats < 1 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || repeats > 1000000) {
      std::fprintf(stderr, "usage: make_large --sparse OUTPUT.mca WIDTH HEIGHT [REPEATS]\n");
      return 2;
    }
    const Bytes image = SparseContainer(int32_t(width), int32_t(height), int32_t(repeats));
    if (Write(argv[2], image) != 0) return 1;
    std::printf("make_large: %s holds %ld x %ld pixels in %zu bytes\n", argv[2], width, height * repeats, image.size());
    return 0;
  }
  const long megabytes = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (megabytes <= 0 || megabytes > 2100) {
    std::fprintf(stderr, "usage: make_large OUTPUT.mca MEGABYTES (1 to 2100)\n"
                         "       make_large --sparse OUTPUT.mca WIDTH HEIGHT [REPEATS]\n"
                         "       make_large --filled OUTPUT.mca WIDTH HEIGHT\n"
                         "       make_large --solid OUTPUT.mca WIDTH HEIGHT RRGGBB\n");
    return 2;
  }
  const TestFrame frame = LargePictureFrame();
  const int32_t repeats = int32_t((megabytes * 1000000 + frame.pixels.size() - 1) / frame.pixels.size());
  const Bytes image = RepeatedFrameContainer(frame, repeats);
  if (Write(argv[1], image) != 0) return 1;
  std::printf("make_large: %s holds %d x %d pixels (%zu bytes of pixels) in %zu bytes\n", argv[1], frame.width,
              frame.height * repeats, frame.pixels.size() * size_t(repeats), image.size());
  return 0;
}
