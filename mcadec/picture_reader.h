// mcaenc's inputs: PNG (through libspng), BMP and binary PPM/PGM, read whole
// into 8-bit red, green, blue and alpha, every read bounded by the file and
// the size checked against the limits before any pixel memory is taken.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mca/mca.h"

struct RgbaPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;  // top row first, 4 bytes a pixel
};

// Whether the file begins as a picture mcaenc reads.
bool IsReadablePicture(const std::string& path);

// Reads the picture at `path`; false with the reason (no file name) in
// `error`. `limits` holds max_pixels and max_dimension.
bool ReadPicture(const std::string& path, const mca_options& limits, RgbaPicture* picture, std::string* error);

// Each format's reader, over the whole file in memory.
bool ReadPng(const uint8_t* data, size_t size, const mca_options& limits, RgbaPicture* picture, std::string* error);
bool ReadBmp(const uint8_t* data, size_t size, const mca_options& limits, RgbaPicture* picture, std::string* error);
bool ReadPnm(const uint8_t* data, size_t size, const mca_options& limits, RgbaPicture* picture, std::string* error);

// For the readers: the picture's pixels taken once its size is within the
// limits; false with the words of the limit passed.
bool TakePixels(int64_t width, int64_t height, const mca_options& limits, RgbaPicture* picture, std::string* error);
