// The PNG encoder on arbitrary pictures (RGB or indexed, up to two 1 MiB
// chunks), deflate levels and thread counts: what it writes, read back by
// libspng with every CRC and the zlib checksum checked, is exactly the
// picture it was given.
#include <spng.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "png/png_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  // Bytes 0-1: width; 2: RGB or indexed, level, threads; 3: height; 4: palette
  // entries; the rest: the pixels' bytes, repeated as far as the rows need.
  const int32_t width = 1 + int32_t((data[0] | data[1] << 8) % 2048);
  const bool indexed = data[2] & 1;
  const int level = (data[2] >> 1 & 15) > 9 ? kDeflateAutoLevel : data[2] >> 1 & 15;
  const unsigned threads = 1 + (data[5] & 7);
  const size_t rowBytes = size_t(width) * (indexed ? 1 : 3);
  const int32_t height = int32_t(std::min<size_t>(1 + size_t(data[3]) * 64, (5u << 18) / rowBytes + 1));
  const uint8_t* bytes = data + 6;
  const size_t count = size - 6;
  if (count == 0) return 0;
  std::vector<uint8_t> palette;
  if (indexed) {
    for (size_t i = 0; i < 3 * (size_t(data[4]) + 1); ++i) palette.push_back(bytes[i % count]);
  }
  const size_t entries = palette.size() / 3;

  char* written = nullptr;
  size_t writtenSize = 0;
  FILE* out = open_memstream(&written, &writtenSize);
  FUZZ_CHECK(out);
  PngEncoder encoder;
  FUZZ_CHECK(OpenPng(&encoder, out, width, height, indexed ? &palette : nullptr, level, threads));
  std::vector<uint8_t> expected, row(rowBytes);
  size_t next = 0;
  for (int32_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < rowBytes; ++x) row[x] = indexed ? uint8_t(bytes[next++ % count] % entries) : bytes[next++ % count];
    FUZZ_CHECK(WritePngRow(&encoder, row.data()));
    for (size_t x = 0; x < rowBytes; ++x) {
      if (indexed) expected.insert(expected.end(), &palette[3 * row[x]], &palette[3 * row[x]] + 3);
      else expected.push_back(row[x]);
    }
  }
  FUZZ_CHECK(ClosePng(&encoder));
  FUZZ_CHECK(std::fclose(out) == 0);

  spng_ctx* ctx = spng_ctx_new(0);
  spng_set_png_buffer(ctx, written, writtenSize);
  size_t decodedSize = 0;
  FUZZ_CHECK(spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &decodedSize) == 0);
  std::vector<uint8_t> decoded(decodedSize);
  FUZZ_CHECK(spng_decode_image(ctx, decoded.data(), decoded.size(), SPNG_FMT_RGB8, 0) == 0);
  FUZZ_CHECK(decoded == expected);
  spng_ctx_free(ctx);
  std::free(written);
  return 0;
}
