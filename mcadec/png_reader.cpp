// PNG through libspng: every colour type and depth into 8-bit RGBA, the
// transparency chunk applied, no gamma; the size checked before decoding.
#include <spng.h>

#include <new>
#include <vector>

#include "mcadec/picture_reader.h"

namespace {

// Ancillary chunks are skipped, not kept: a little memory for each.
constexpr size_t kChunkBytesLimit = 1 << 20;
constexpr size_t kChunkCacheLimit = 1 << 24;

struct SpngContext {
  spng_ctx* ctx = spng_ctx_new(0);
  ~SpngContext() { spng_ctx_free(ctx); }
};

bool Failed(int code, std::string* error) {
  *error = std::string("not a sound PNG file: ") + spng_strerror(code);
  return false;
}

}  // namespace

bool ReadPng(const uint8_t* data, size_t size, const mca_options& limits, RgbaPicture* picture, std::string* error) {
  SpngContext c;
  if (!c.ctx) {
    *error = "out of memory";
    return false;
  }
  spng_set_chunk_limits(c.ctx, kChunkBytesLimit, kChunkCacheLimit);
  if (int e = spng_set_png_buffer(c.ctx, data, size)) return Failed(e, error);
  spng_ihdr ihdr;
  if (int e = spng_get_ihdr(c.ctx, &ihdr)) return Failed(e, error);
  if (!TakePixels(ihdr.width, ihdr.height, limits, picture, error)) return false;
  if (ihdr.bit_depth != 16) {
    const int e = spng_decode_image(c.ctx, picture->rgba.data(), picture->rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    return e == 0 || Failed(e, error);
  }
  // 16-bit samples are rounded to the nearest 8-bit value (libspng's own
  // 8-bit output drops the low byte instead), from the whole 16-bit picture,
  // so that interlaced files come out whole.
  std::vector<uint16_t> wide;
  try {
    wide.resize(picture->rgba.size());
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
  if (int e = spng_decode_image(c.ctx, wide.data(), wide.size() * sizeof(uint16_t), SPNG_FMT_RGBA16, SPNG_DECODE_TRNS)) {
    return Failed(e, error);
  }
  uint8_t* out = picture->rgba.data();
  for (const uint16_t v : wide) *out++ = uint8_t((uint32_t(v) * 255 + 32767) / 65535);
  return true;
}
