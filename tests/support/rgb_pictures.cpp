#include "tests/support/rgb_pictures.h"

#include <dirent.h>
#include <spng.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugin/plugin_api.h"
#include "tests/support/area_average.h"

std::vector<NamedPicture> ProgramTestPictures() {
  std::vector<NamedPicture> pictures;
  TestContainer c;
  c.frames = {PictureFrame(37, 11, 24, true, 1), RandomFrame(21, 5, 24, false, 2), PictureFrame(30, 9, 24, true, 3)};
  pictures.push_back({"24-bit frames of three widths", BuildContainer(c)});

  TestContainer indexed;
  indexed.pixelFormat = 8;
  for (uint32_t i = 0; i < 200; ++i) indexed.palette.push_back(i * 0x00010307u);
  indexed.frames = {PictureFrame(45, 13, 8, true, 4), RandomFrame(3, 2, 8, false, 5)};
  pictures.push_back({"8-bit, indexes beyond the palette", BuildContainer(indexed)});

  TestContainer one;
  one.frames = {RandomFrame(1, 1, 24, false, 6)};
  pictures.push_back({"one pixel", BuildContainer(one)});

  TestContainer many;
  for (uint32_t i = 0; i < 40; ++i) many.frames.push_back(RandomFrame(2 + int32_t(i % 7), 3, 24, i % 2 == 0, 7 + i));
  pictures.push_back({"40 frames", BuildContainer(many)});
  return pictures;
}

std::vector<BrokenPicture> BrokenTestPictures() {
  TestContainer c;
  c.frames = {RandomFrame(4, 3, 24, true, 20), RandomFrame(4, 3, 24, false, 21)};
  const Bytes whole = BuildContainer(c);
  Bytes cutPayload(whole.begin(), whole.end() - 1);
  Bytes headOutside = whole;
  PutLe32(headOutside, 48 + 4, uint32_t(whole.size() - 10));
  Bytes notMca = whole;
  notMca[0] = 'X';
  TestContainer empty;
  return {{"cut payload", cutPayload, "frame 2's payload lies outside the file"},
          {"frame head outside", headOutside, "frame 2's head lies outside the file"},
          {"cut head", Bytes(whole.begin(), whole.begin() + 20), "shorter than the 48-byte head"},
          {"not MCA", notMca, "not an MCA picture"},
          {"no pixels", BuildContainer(empty), "no pixels"},
          {"empty", Bytes{}, "the file is empty"}};
}

RgbImage PluginPixels(const Bytes& image) {
  HLOCAL info = nullptr, pixels = nullptr;
  RgbImage out;
  if (GetPicture(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1, &info, &pixels, nullptr, 0) != 0) {
    return out;
  }
  const uint8_t* head = static_cast<const uint8_t*>(LocalLock(info));
  const uint8_t* dib = static_cast<const uint8_t*>(LocalLock(pixels));
  std::memcpy(&out.width, head + 4, 4);
  std::memcpy(&out.height, head + 8, 4);
  const size_t stride = (3 * size_t(out.width) + 3) / 4 * 4;
  for (int32_t y = 0; y < out.height; ++y) {
    const uint8_t* row = dib + size_t(out.height - 1 - y) * stride;
    for (int32_t x = 0; x < out.width; ++x) {
      out.rgb.insert(out.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
  }
  LocalFree(info);
  LocalFree(pixels);
  return out;
}

RgbImage AreaAverage(const RgbImage& full, int32_t width, int32_t height) {
  RgbImage out;
  out.width = width;
  out.height = height;
  out.rgb = AreaAverage(full.rgb, full.width, full.height, width, height);
  return out;
}

bool WithinOne(const RgbImage& a, const RgbImage& b) {
  return a.width == b.width && a.height == b.height && WithinOne(a.rgb, b.rgb);
}

Bytes ReadBytes(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(uint8_t(c));
  std::fclose(f);
  return out;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

RgbImage ReadPng(const std::string& path, bool* indexed) {
  const Bytes file = ReadBytes(path);
  RgbImage out;
  spng_ctx* ctx = spng_ctx_new(0);
  spng_ihdr ihdr;
  size_t size = 0;
  if (!spng_set_png_buffer(ctx, file.data(), file.size()) && !spng_get_ihdr(ctx, &ihdr) &&
      !spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size)) {
    out.rgb.resize(size);
    if (!spng_decode_image(ctx, out.rgb.data(), size, SPNG_FMT_RGB8, 0)) {
      out.width = int32_t(ihdr.width);
      out.height = int32_t(ihdr.height);
      if (indexed) *indexed = ihdr.color_type == SPNG_COLOR_TYPE_INDEXED;
    } else {
      out.rgb.clear();
    }
  }
  spng_ctx_free(ctx);
  return out;
}

RgbImage ReadBmp(const std::string& path) {
  const Bytes file = ReadBytes(path);
  RgbImage out;
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return out;
  uint32_t offset;
  std::memcpy(&offset, &file[10], 4);
  std::memcpy(&out.width, &file[18], 4);
  std::memcpy(&out.height, &file[22], 4);
  const size_t stride = (3 * size_t(out.width) + 3) / 4 * 4;
  if (file.size() < offset + stride * size_t(out.height)) return RgbImage{};
  for (int32_t y = 0; y < out.height; ++y) {
    const uint8_t* row = &file[offset + size_t(out.height - 1 - y) * stride];
    for (int32_t x = 0; x < out.width; ++x) out.rgb.insert(out.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  return out;
}

RgbImage ReadPpm(const std::string& path) {
  const Bytes file = ReadBytes(path);
  RgbImage out;
  int consumed = 0, maxval = 0;
  const std::string text(file.begin(), file.begin() + std::min<size_t>(file.size(), 64));
  if (std::sscanf(text.c_str(), "P6 %d %d %d%n", &out.width, &out.height, &maxval, &consumed) != 3) return RgbImage{};
  out.rgb.assign(file.begin() + consumed + 1, file.end());
  return out;
}

ScratchFolder::ScratchFolder() {
  char name[] = "/tmp/zuvrek-programs-XXXXXX";
  path_ = mkdtemp(name) ? name : "";
}

ScratchFolder::~ScratchFolder() {
  if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}
