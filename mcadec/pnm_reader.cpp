// Binary PPM (P6) and PGM (P5): any maximum value from 1 to 65535, samples
// scaled to 8 bits; the header's comments skipped.
#include <cstring>

#include "mcadec/picture_reader.h"

namespace {

// Skips whitespace and comments, then reads a decimal number; false at the
// end of the data or on anything else.
bool Number(const uint8_t* data, size_t size, size_t* at, uint64_t* value) {
  size_t i = *at;
  for (;;) {
    while (i < size && std::strchr(" \t\r\n\v\f", data[i]) && data[i]) ++i;
    if (i < size && data[i] == '#') {
      while (i < size && data[i] != '\n' && data[i] != '\r') ++i;
      continue;
    }
    break;
  }
  if (i >= size || data[i] < '0' || data[i] > '9') return false;
  uint64_t v = 0;
  for (; i < size && data[i] >= '0' && data[i] <= '9'; ++i) {
    v = v * 10 + uint64_t(data[i] - '0');
    if (v > UINT32_MAX) return false;
  }
  *value = v;
  *at = i;
  return true;
}

}  // namespace

bool ReadPnm(const uint8_t* data, size_t size, const mca_options& limits, RgbaPicture* picture, std::string* error) {
  const bool grey = data[1] == '5';
  size_t at = 2;
  uint64_t width = 0, height = 0, maxValue = 0;
  if (!Number(data, size, &at, &width) || !Number(data, size, &at, &height) || !Number(data, size, &at, &maxValue) ||
      at >= size || maxValue < 1 || maxValue > 65535 || width == 0 || height == 0) {
    *error = "not a sound PPM file: its header is damaged";
    return false;
  }
  ++at;  // the one whitespace byte before the samples
  const size_t channels = grey ? 1 : 3, sampleBytes = maxValue > 255 ? 2 : 1;
  const uint64_t needed = width * height * channels * sampleBytes;
  if (width > UINT32_MAX / height || needed > size - at) {
    *error = "the file is cut short: its pixels need " + std::to_string(needed) + " bytes";
    return false;
  }
  if (!TakePixels(int64_t(width), int64_t(height), limits, picture, error)) return false;
  const uint8_t* in = data + at;
  uint8_t* out = picture->rgba.data();
  for (uint64_t i = 0; i < width * height; ++i, out += 4) {
    for (size_t c = 0; c < 3; ++c) {
      if (c < channels) {
        uint32_t v = sampleBytes == 2 ? uint32_t(in[0]) << 8 | in[1] : in[0];
        if (v > maxValue) v = uint32_t(maxValue);  // a sample past the maximum is the maximum
        out[c] = uint8_t((v * 255 + maxValue / 2) / maxValue);
        in += sampleBytes;
      } else {
        out[c] = out[0];
      }
    }
  }
  return true;
}
