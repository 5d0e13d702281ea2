// A deliberately plain decoder, written byte by byte with the 4096-byte ring
// and a mask advanced per byte, kept as the reference that the real decoder
// must match exactly and as the baseline it is timed against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PlainPicture {
  int32_t width = 0;
  int32_t height = 0;
  size_t stride = 0;
  std::vector<uint8_t> pixels;  // bottom-up rows of `stride` bytes
};

// False for a container that is cut short, whose palette count is out of
// range, or whose height is negative.
bool PlainDecode(const uint8_t* data, size_t size, PlainPicture* picture);

// The two halves of PlainDecode: the geometry (pixels left empty), then the
// frames into a zero-filled block of stride * height bytes. False when a
// payload lies outside the data.
bool PlainGeometry(const uint8_t* data, size_t size, PlainPicture* picture);
bool PlainDecodePixels(const uint8_t* data, size_t size, const PlainPicture& geometry, uint8_t* pixels);

// The ring expansion alone: output capped at `capacity`, limit tested before each token.
std::vector<uint8_t> PlainExpandLzss(const uint8_t* src, int32_t length, size_t capacity, int32_t limit);
