#include "tests/support/plain_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool Inside(size_t size, uint64_t at, uint64_t count) { return at <= size && count <= size - at; }

void PlainDescramble(uint8_t* b, int32_t length) {
  uint8_t mask = 0x3B;
  for (int32_t i = 0; i < length; ++i) {
    const int32_t n = length - i;
    const uint8_t rotated = uint8_t((b[i] << 1) | (b[i] >> 7));
    b[i] = rotated ^ mask;
    mask = uint8_t(mask + (n & 0xFF));
  }
}

size_t PlainExpand(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity, int32_t limit) {
  uint8_t ring[4096] = {};
  unsigned write = 4078;
  unsigned flags = 0;
  int left = 0;
  size_t produced = 0;
  int32_t in = 0;
  if (length <= 0) return 0;
  auto put = [&](uint8_t b) {
    if (produced < capacity) dst[produced] = b;
    ++produced;
    ring[write] = b;
    write = (write + 1) & 4095;
  };
  for (;;) {
    if (int64_t(produced) >= limit || produced >= capacity) break;
    if (left <= 0) {
      flags = src[in++];
      left = 8;
      if (in >= length) break;
    }
    if (flags & 1) {
      put(src[in++]);
    } else {
      if (length - in < 2) break;
      const unsigned b0 = src[in], b1 = src[in + 1];
      in += 2;
      unsigned position = b0 + 256 * (b1 & 0x0F);
      const unsigned count = (b1 >> 4) + 3;
      for (unsigned k = 0; k < count; ++k) {
        put(ring[position]);
        position = (position + 1) & 4095;
      }
    }
    flags >>= 1;
    --left;
    if (in >= length) break;
  }
  return produced < capacity ? produced : capacity;
}

}  // namespace

std::vector<uint8_t> PlainExpandLzss(const uint8_t* src, int32_t length, size_t capacity, int32_t limit) {
  std::vector<uint8_t> out(capacity, 0);
  out.resize(PlainExpand(src, length, out.data(), capacity, limit));
  return out;
}

bool PlainGeometry(const uint8_t* data, size_t size, PlainPicture* picture) {
  if (size < 48) return false;
  const int32_t paletteCount = int32_t(Le32(data + 24));
  const int32_t frameCount = int32_t(Le32(data + 32));
  if (paletteCount < 0 || paletteCount > 256) return false;
  const uint64_t table = 48 + 4 * uint64_t(paletteCount);
  if (!Inside(size, 0, table)) return false;
  if (frameCount > 0 && !Inside(size, table, 4 * uint64_t(frameCount))) return false;
  int32_t width = 0;
  uint32_t height = 0;
  for (int32_t i = 0; i < frameCount; ++i) {
    const uint32_t at = Le32(data + table + 4 * uint64_t(i));
    if (!Inside(size, at, 32)) return false;
    width = std::max(width, int32_t(Le32(data + at + 12)));
    height += Le32(data + at + 16);
  }
  picture->width = width;
  picture->height = int32_t(height);
  picture->stride = size_t((3 * int64_t(width) + 3) / 4 * 4);
  return picture->height >= 0;
}

bool PlainDecodePixels(const uint8_t* data, size_t size, const PlainPicture& geometry, uint8_t* pixels) {
  const int32_t format = int32_t(Le32(data + 20));
  const int32_t paletteCount = int32_t(Le32(data + 24));
  const int32_t frameCount = int32_t(Le32(data + 32));
  const uint64_t table = 48 + 4 * uint64_t(paletteCount);
  const int64_t H = geometry.height;
  const size_t capacity = geometry.stride * size_t(H) + 4;

  uint8_t palette[256][4] = {};
  std::memcpy(palette, data + 48, 4 * size_t(paletteCount));
  int64_t row = H - 1;
  for (int32_t i = 0; i < frameCount; ++i) {
    const uint8_t* head = data + Le32(data + table + 4 * uint64_t(i));
    const int32_t w = int32_t(Le32(head + 12));
    const int32_t h = int32_t(Le32(head + 16));
    const int32_t stored = int32_t(Le32(head + 20));
    const int32_t expanded = int32_t(Le32(head + 24));
    if (stored < 0 || !Inside(size, uint64_t(head - data) + 32, uint64_t(stored))) return false;
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(size_t(stored) + 1));
    uint8_t* work = static_cast<uint8_t*>(std::calloc(capacity, 1));
    if (!copy || !work) std::abort();
    std::memcpy(copy, head + 32, size_t(stored));
    PlainDescramble(copy, stored);
    if (Le32(head) != 0) {
      PlainExpand(copy, stored, work, capacity, expanded);
    } else {
      std::memcpy(work, copy, std::min(size_t(stored), capacity));
    }
    const int64_t rowBytes = w <= 0 ? 0 : format == 8 ? (int64_t(w) + 3) / 4 * 4 : (3 * int64_t(w) + 3) / 4 * 4;
    for (int32_t r = 0; r < h; ++r, --row) {
      if (w <= 0 || row < 0) {  // so are all the rows after it
        row -= h - r;
        break;
      }
      if (uint64_t(r + 1) * uint64_t(rowBytes) > capacity) continue;
      uint8_t* out = pixels + size_t(row) * geometry.stride;
      const uint8_t* src = work + size_t(r) * size_t(rowBytes);
      if (format == 8) {
        for (int32_t x = 0; x < w; ++x) std::memcpy(out + 3 * x, palette[src[x]], 3);
      } else {
        std::memcpy(out, src, size_t(rowBytes));
      }
    }
    std::free(work);
    std::free(copy);
  }
  return true;
}

bool PlainDecode(const uint8_t* data, size_t size, PlainPicture* picture) {
  if (!PlainGeometry(data, size, picture)) return false;
  picture->pixels.assign(picture->stride * size_t(picture->height), 0);
  return PlainDecodePixels(data, size, *picture, picture->pixels.data());
}
