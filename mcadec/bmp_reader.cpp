// BMP: the OS/2 head and the Windows heads (40 bytes and the longer V4, V5),
// 1, 4 and 8 bits through the palette, 16, 24 and 32 bits, uncompressed or
// with bit fields (alpha where the head gives an alpha mask), or run-length
// coded (8 and 4 bits); rows bottom-up or top-down. Embedded JPEG or PNG is
// refused.
#include <vector>

#include "mcadec/picture_reader.h"

namespace {

constexpr size_t kFileHeadBytes = 14;
constexpr uint32_t kCoreHeadBytes = 12;
constexpr uint32_t kInfoHeadBytes = 40;
constexpr uint32_t kV4HeadBytes = 108;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// One colour channel of a bit field: where it lies and how wide it is.
struct Field {
  uint32_t mask = 0;
  uint32_t shift = 0;
  uint32_t bits = 0;
  explicit Field(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!(m & 1)) m >>= 1, ++shift;
    while (m & 1) m >>= 1, ++bits;
  }
  uint8_t Take(uint32_t pixel) const {
    if (!mask) return 0;
    const uint32_t v = (pixel & mask) >> shift, top = (bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1);
    return uint8_t((uint64_t(v) * 255 + top / 2) / top);
  }
};

// Run-length coded indexes (bottom row first) into `indexes`, top row
// first; pixels the stream skips or leaves keep index 0. Stops at the end
// of the data, whatever the stream says.
void ExpandRunLengths(const uint8_t* in, size_t size, uint32_t bits, int64_t width, int64_t height,
                      std::vector<uint8_t>* indexes) {
  int64_t x = 0, y = height - 1;
  auto put = [&](uint8_t index) {
    if (x < width && y >= 0) (*indexes)[size_t(y) * size_t(width) + size_t(x)] = index;
    ++x;
  };
  size_t i = 0;
  while (i + 1 < size && y >= 0) {
    const uint32_t count = in[i], value = in[i + 1];
    i += 2;
    if (count > 0) {  // a run: one index, or two nibbles in turn
      for (uint32_t k = 0; k < count; ++k) put(uint8_t(bits == 8 ? value : k % 2 ? value & 15 : value >> 4));
    } else if (value == 0) {  // end of the row
      x = 0;
      --y;
    } else if (value == 1) {  // end of the picture
      break;
    } else if (value == 2) {  // a move right and up
      if (i + 1 >= size) break;
      x += in[i];
      y -= in[i + 1];
      i += 2;
    } else {  // `value` indexes as they are, the stream kept to 16-bit steps
      const size_t bytes = bits == 8 ? value : (value + 1) / 2;
      for (uint32_t k = 0; k < value && i + (bits == 8 ? k : k / 2) < size; ++k) {
        const uint8_t b = in[i + (bits == 8 ? k : k / 2)];
        put(uint8_t(bits == 8 ? b : k % 2 ? b & 15 : b >> 4));
      }
      i += (bytes + 1) / 2 * 2;
    }
  }
}

bool Refuse(const std::string& why, std::string* error) {
  *error = "not a BMP picture mcaenc reads: " + why;
  return false;
}

}  // namespace

bool ReadBmp(const uint8_t* data, size_t size, const mca_options& limits, RgbaPicture* picture, std::string* error) {
  if (size < kFileHeadBytes + 4) return Refuse("the file is cut short", error);
  const uint32_t pixelsAt = Le32(data + 10), headBytes = Le32(data + 14);
  if (headBytes != kCoreHeadBytes && headBytes < kInfoHeadBytes) return Refuse("its head is unknown", error);
  if (headBytes > size - kFileHeadBytes) return Refuse("the file is cut short", error);
  const uint8_t* head = data + kFileHeadBytes;
  int64_t width, height;
  uint32_t bits, compression = kRgb, colours = 0;
  if (headBytes == kCoreHeadBytes) {
    width = Le16(head + 4);
    height = Le16(head + 6);
    bits = Le16(head + 10);
  } else {
    width = int32_t(Le32(head + 4));
    height = int32_t(Le32(head + 8));
    bits = Le16(head + 14);
    compression = Le32(head + 16);
    colours = Le32(head + 32);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height == 0) return Refuse("it has no pixels", error);
  const bool runLengths = (compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4);
  if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields && !runLengths) {
    return Refuse("its pixels are compressed as JPEG or PNG, or in a way it does not name", error);
  }
  if (runLengths && topDown) return Refuse("its run-length rows are top-down", error);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return Refuse(std::to_string(bits) + " bits a pixel", error);
  }
  // Bit fields: after a 40-byte head, or inside a longer one (alpha from V4 on).
  Field red, green, blue, alpha;
  if (bits == 16 || bits == 32) {
    if (compression == kRgb) {
      red = Field(bits == 16 ? 0x7C00 : 0xFF0000);
      green = Field(bits == 16 ? 0x03E0 : 0xFF00);
      blue = Field(bits == 16 ? 0x001F : 0xFF);
    } else {
      const size_t masksAt = kFileHeadBytes + kInfoHeadBytes;
      const size_t masks = compression == kAlphaBitFields || headBytes >= kV4HeadBytes ? 4 : 3;
      if (masksAt + 4 * masks > size) return Refuse("the file is cut short", error);
      red = Field(Le32(data + masksAt));
      green = Field(Le32(data + masksAt + 4));
      blue = Field(Le32(data + masksAt + 8));
      if (masks == 4) alpha = Field(Le32(data + masksAt + 12));
    }
  }
  // The palette follows the head (and an uncounted 40-byte head's masks).
  const size_t entryBytes = headBytes == kCoreHeadBytes ? 3 : 4;
  const size_t paletteAt = kFileHeadBytes + headBytes + (headBytes == kInfoHeadBytes && compression == kBitFields ? 12 : 0);
  size_t entries = bits <= 8 ? (colours && colours <= (1u << bits) ? colours : (1u << bits)) : 0;
  if (paletteAt + entries * entryBytes > size) entries = paletteAt < size ? (size - paletteAt) / entryBytes : 0;
  const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
  if (pixelsAt > size || (!runLengths && stride > (size - pixelsAt) / uint64_t(height))) {
    return Refuse("the file is cut short", error);
  }
  if (!TakePixels(width, height, limits, picture, error)) return false;
  std::vector<uint8_t> expanded;
  if (runLengths) {
    expanded.assign(size_t(width) * size_t(height), 0);
    ExpandRunLengths(data + pixelsAt, size - pixelsAt, bits, width, height, &expanded);
  }
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* row = runLengths ? expanded.data() + size_t(width) * size_t(y)
                                    : data + pixelsAt + stride * uint64_t(topDown ? y : height - 1 - y);
    uint8_t* out = picture->rgba.data() + 4 * size_t(width) * size_t(y);
    for (int64_t x = 0; x < width; ++x, out += 4) {
      if (bits <= 8) {
        const uint32_t perByte = runLengths ? 1 : 8 / bits;
        const uint32_t index =
            runLengths ? row[x] : (row[x / perByte] >> (8 - bits - bits * uint32_t(x % perByte))) & ((1u << bits) - 1);
        // An index past the palette is black, as Windows shows it.
        const uint8_t* e = index < entries ? data + paletteAt + index * entryBytes : nullptr;
        out[0] = e ? e[2] : 0;
        out[1] = e ? e[1] : 0;
        out[2] = e ? e[0] : 0;
      } else if (bits == 24) {
        out[0] = row[3 * x + 2];
        out[1] = row[3 * x + 1];
        out[2] = row[3 * x];
      } else {
        const uint32_t pixel = bits == 16 ? Le16(row + 2 * x) : Le32(row + 4 * x);
        out[0] = red.Take(pixel);
        out[1] = green.Take(pixel);
        out[2] = blue.Take(pixel);
        if (alpha.mask) out[3] = alpha.Take(pixel);
      }
    }
  }
  return true;
}
