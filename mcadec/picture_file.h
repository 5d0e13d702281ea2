// Writing a decoded picture: PNG (through libspng), BMP or PPM.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

enum class ImageFormat { kPng, kBmp, kPpm };

// A top-down RGB picture, rows `stride` bytes apart. While it is still being
// decoded, `awaitRows(n)` returns once the top n rows are final.
struct RgbPicture {
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
  std::vector<uint8_t> pixels;
  std::function<void(int32_t rows)> awaitRows;
};

struct EncodeOptions {
  ImageFormat format = ImageFormat::kPng;
  int pngLevel = 1;          // zlib level 0-9
  bool indexedPng = false;   // try a palette PNG: kept only when every pixel is exact
};

// Writes the picture to `out`; false with `error` set on failure.
bool WritePicture(const RgbPicture& picture, const EncodeOptions& options, FILE* out, std::string* error);

// The format a file name asks for by its extension, if any.
bool FormatFromName(const std::string& name, ImageFormat* format);
const char* FormatExtension(ImageFormat format);
