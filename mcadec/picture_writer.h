// Writing a picture as its rows arrive, top row first: PNG (our encoder over
// libdeflate, deflating on several threads), BMP or PPM, in memory of a few rows
// whatever the size.
#pragma once

#include "png/colour_table.h"
#include "png/png_encoder.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class ImageFormat { kPng, kBmp, kPpm };

// The default PNG compression: libdeflate level 2, and level 7 for chunks
// that shrink to under an eighth (kDeflateAutoLevel). On the benchmark's
// pictures it is within 3 % of ImageMagick's default size (zlib level 7) or
// smaller, several times as fast; --png-level N is libdeflate level N.
constexpr int kDefaultPngLevel = kDeflateAutoLevel;

// The most threads deflating one PNG: past them the chunks' joins outweigh
// what another thread gains.
constexpr unsigned kMaxDeflateThreads = 16;

struct EncodeOptions {
  ImageFormat format = ImageFormat::kPng;
  int pngLevel = kDefaultPngLevel;  // libdeflate level 0-9, or kDeflateAutoLevel
  unsigned pngThreads = 1;   // threads deflating one PNG
  bool indexedPng = false;   // try a palette PNG: kept only when every pixel is exact
};

struct PictureWriter {
  FILE* out = nullptr;
  EncodeOptions options;
  int32_t width = 0;
  int32_t height = 0;
  int32_t next = 0;                    // the next row
  const ColourTable* colours = nullptr;  // an indexed PNG's palette
  PngEncoder png;
  int64_t bmpStart = -1;               // a seekable BMP's first byte: rows go bottom up
  std::vector<uint8_t> row;
};

// Starts the file. `colours`, if given, makes the PNG indexed; it must hold
// every colour of the picture and outlive the writer.
bool OpenPicture(PictureWriter* w, FILE* out, const EncodeOptions& options, int32_t width, int32_t height,
                 const ColourTable* colours, std::string* error);
// The next row, top first: red, green, blue, or for BMP blue, green, red.
bool WritePictureRow(PictureWriter* w, const uint8_t* pixels, std::string* error);
// Ends the file once every row is written; releases the writer either way.
bool ClosePicture(PictureWriter* w, bool complete, std::string* error);

// The format a file name asks for by its extension, if any.
bool FormatFromName(const std::string& name, ImageFormat* format);
// Whether a file name ends in an extension (".jpg"), whatever it is.
bool HasExtension(const std::string& name);
const char* FormatExtension(ImageFormat format);
