// Writing a picture as its rows arrive, top row first: PNG (through libspng's
// progressive encoder), BMP or PPM, in memory of a row whatever the size.
#pragma once

#include <spng.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class ImageFormat { kPng, kBmp, kPpm };

struct EncodeOptions {
  ImageFormat format = ImageFormat::kPng;
  int pngLevel = 1;          // zlib level 0-9
  bool indexedPng = false;   // try a palette PNG: kept only when every pixel is exact
};

// Up to 256 colours, each with its palette index.
class ColourTable {
 public:
  ColourTable();
  // False once a 257th colour comes.
  bool Add(const uint8_t* rgb);
  uint8_t IndexOf(const uint8_t* rgb) const;
  const std::vector<spng_plte_entry>& entries() const { return entries_; }

 private:
  size_t Slot(uint32_t colour) const;
  std::vector<uint32_t> keys_;
  std::vector<uint8_t> indexes_;
  std::vector<spng_plte_entry> entries_;
};

struct PictureWriter {
  FILE* out = nullptr;
  EncodeOptions options;
  int32_t width = 0;
  int32_t height = 0;
  int32_t next = 0;                    // the next row
  const ColourTable* colours = nullptr;  // an indexed PNG's palette
  spng_ctx* png = nullptr;
  long bmpStart = -1;                  // a seekable BMP's first byte: rows go bottom up
  std::vector<uint8_t> row;
};

// Starts the file. `colours`, if given, makes the PNG indexed; it must hold
// every colour of the picture and outlive the writer.
bool OpenPicture(PictureWriter* w, FILE* out, const EncodeOptions& options, int32_t width, int32_t height,
                 const ColourTable* colours, std::string* error);
bool WritePictureRow(PictureWriter* w, const uint8_t* rgb, std::string* error);
// Ends the file once every row is written; releases the writer either way.
bool ClosePicture(PictureWriter* w, bool complete, std::string* error);

// The format a file name asks for by its extension, if any.
bool FormatFromName(const std::string& name, ImageFormat* format);
const char* FormatExtension(ImageFormat format);
