// make_corpus FOLDER: writes the fuzzers' seed inputs, made with our own
// container builder and encoder: FOLDER/picture holds pictures of both
// formats, stored and compressed, and pictures mca_encode wrote (written-*,
// which every front end's corpus tests then read); FOLDER/lzss holds
// expansion streams with their parameters.
#include <algorithm>
#include <cstdio>
#include <string>

#include "mca/mca.h"

#include "tests/support/mca_builder.h"

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void Palette(TestContainer* c, size_t count) {
  for (size_t i = 0; i < count; ++i) c->palette.push_back(uint32_t(i * 0x030507));
}

int Append(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
  Bytes& file = *static_cast<Bytes*>(context);
  if (file.size() < offset + size) file.resize(offset + size);
  std::copy(bytes, bytes + size, file.begin() + ptrdiff_t(offset));
  return 1;
}

// The picture `image` shows, written again by mca_encode with `set`'s options.
Bytes Written(const Bytes& image, void (*set)(mca_options*, const Bytes& image)) {
  mca_info info;
  if (mca_probe(image.data(), image.size(), &info, nullptr) != MCA_OK) return {};
  Bytes rgb(3 * size_t(info.width) * size_t(info.height));
  mca_decode(image.data(), image.size(), nullptr, rgb.data(), 3 * size_t(info.width), rgb.size(), nullptr);
  struct Rows {
    const Bytes* rgb;
    size_t rowBytes;
  } rows{&rgb, 3 * size_t(info.width)};
  const mca_row_source source{[](void* context, int32_t y, uint8_t* into) {
                                const Rows& r = *static_cast<const Rows*>(context);
                                std::copy_n(r.rgb->begin() + ptrdiff_t(r.rowBytes * size_t(y)), r.rowBytes, into);
                                return 0;
                              },
                              &rows};
  Bytes file;
  const mca_writer writer{Append, &file};
  mca_options options;
  mca_default_options(&options);
  set(&options, image);
  return mca_encode(info.width, info.height, &options, &source, &writer, nullptr) == MCA_OK ? file : Bytes{};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus FOLDER\n");
    return 2;
  }
  const std::string root = argv[1];
  bool ok = true;
  int n = 0;
  for (int32_t format : {24, 8}) {
    for (bool compressed : {false, true}) {
      for (int32_t width : {1, 3, 6, 13}) {
        TestContainer c;
        c.pixelFormat = format;
        if (format == 8) Palette(&c, size_t(width * 5));
        c.reverseFrameRecords = width % 2 == 1;
        c.frames = {PictureFrame(width, 3, format, compressed, uint32_t(n)),
                    RandomFrame(width + 2, 2, format, !compressed, uint32_t(n + 1), uint32_t(width * 5))};
        ok &= Write(root + "/picture/seed" + std::to_string(n++) + ".mca", BuildContainer(c));
      }
    }
  }
  ok &= Write(root + "/picture/empty.mca", BuildContainer(TestContainer{}));
  TestContainer wide;
  wide.frames = {PictureFrame(150, 40, 24, true, 90), PictureFrame(149, 30, 24, false, 91)};
  TestContainer few;
  few.pixelFormat = 8;
  Palette(&few, 40);
  few.frames = {PictureFrame(77, 50, 8, true, 92)};
  const Bytes wideImage = BuildContainer(wide), fewImage = BuildContainer(few);
  const struct {
    const char* name;
    const Bytes& image;
    void (*set)(mca_options*, const Bytes&);
  } written[] = {
      {"bands", wideImage, [](mca_options* o, const Bytes&) { o->band_height = 7; }},
      {"stored", wideImage, [](mca_options* o, const Bytes&) { o->level = 0; }},
      {"8-bit", fewImage, [](mca_options* o, const Bytes&) { o->level = 2; }},
      {"like", wideImage, [](mca_options* o, const Bytes& image) {
         o->like = image.data();
         o->like_size = image.size();
       }},
  };
  for (const auto& w : written) {
    const Bytes file = Written(w.image, w.set);
    ok &= !file.empty() && Write(root + "/picture/written-" + w.name + ".mca", file);
  }
  // An empty stored payload in a frame far taller than the picture, whose
  // height a later negative one takes back: its rows mostly fall below row 0.
  TestContainer tall;
  tall.frames = {FrameHead(4, 0x7FFFFFF0), FrameHead(1, -0x7FFFFFEE)};
  ok &= Write(root + "/picture/tall_empty_frame.mca", BuildContainer(tall));

  for (uint32_t seed = 0; seed < 8; ++seed) {
    Bytes plain = RandomBytes(200 + 100 * seed, seed);
    for (size_t i = 0; i < plain.size(); ++i) {
      if ((i / 40) % 2) plain[i] = uint8_t(i / 40);
    }
    const Bytes stream = CompressLzss(plain);
    const uint32_t limit = uint32_t(plain.size() - seed * 7);
    Bytes input = {0, uint8_t(plain.size()), uint8_t(plain.size() >> 8),
                   uint8_t(limit), uint8_t(limit >> 8), uint8_t(limit >> 16), uint8_t(limit >> 24)};
    input.insert(input.end(), stream.begin(), stream.end());
    ok &= Write(root + "/lzss/stream" + std::to_string(seed) + ".bin", input);
  }
  if (!ok) std::fprintf(stderr, "make_corpus: cannot write below %s\n", root.c_str());
  return ok ? 0 : 1;
}
