#include "mcadec/picture_file.h"

#include <spng.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

void AwaitRows(const RgbPicture& p, int32_t rows) {
  if (p.awaitRows) p.awaitRows(rows);
}

void PutLe(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

bool Put(FILE* out, const void* data, size_t bytes, std::string* error) {
  if (bytes == 0 || std::fwrite(data, 1, bytes, out) == bytes) return true;
  *error = std::string("cannot write: ") + std::strerror(errno);
  return false;
}

// A 24-bit bottom-up BMP, as the plug-in hands its pictures to a viewer.
bool WriteBmp(const RgbPicture& p, FILE* out, std::string* error) {
  const uint32_t rowBytes = (3 * uint32_t(p.width) + 3) / 4 * 4;
  const uint64_t imageBytes = uint64_t(rowBytes) * uint32_t(p.height);
  uint8_t head[54] = {'B', 'M'};
  PutLe(head + 2, uint32_t(54 + imageBytes), 4);
  PutLe(head + 10, 54, 4);
  PutLe(head + 14, 40, 4);
  PutLe(head + 18, uint32_t(p.width), 4);
  PutLe(head + 22, uint32_t(p.height), 4);
  PutLe(head + 26, 1, 2);
  PutLe(head + 28, 24, 2);
  PutLe(head + 34, uint32_t(imageBytes), 4);
  if (!Put(out, head, sizeof head, error)) return false;
  AwaitRows(p, p.height);  // the bottom row comes first
  std::vector<uint8_t> row(rowBytes, 0);
  for (int32_t y = p.height - 1; y >= 0; --y) {
    const uint8_t* in = &p.pixels[size_t(y) * p.stride];
    for (int32_t x = 0; x < p.width; ++x) {
      row[3 * size_t(x)] = in[3 * size_t(x) + 2];
      row[3 * size_t(x) + 1] = in[3 * size_t(x) + 1];
      row[3 * size_t(x) + 2] = in[3 * size_t(x)];
    }
    if (!Put(out, row.data(), row.size(), error)) return false;
  }
  return true;
}

bool WritePpm(const RgbPicture& p, FILE* out, std::string* error) {
  char head[64];
  const int n = std::snprintf(head, sizeof head, "P6\n%d %d\n255\n", int(p.width), int(p.height));
  if (!Put(out, head, size_t(n), error)) return false;
  for (int32_t y = 0; y < p.height; ++y) {
    AwaitRows(p, y + 1);
    if (!Put(out, &p.pixels[size_t(y) * p.stride], 3 * size_t(p.width), error)) return false;
  }
  return true;
}

// The picture's colours as palette indexes, when there are at most 256.
bool Index(const RgbPicture& p, std::vector<uint8_t>* indexes, std::vector<spng_plte_entry>* palette) {
  // Open addressing over 24-bit colours; 1024 slots hold 256 with room to spare.
  std::vector<uint32_t> keys(1024, UINT32_MAX);
  std::vector<uint8_t> slots(1024, 0);
  indexes->resize(size_t(p.width) * size_t(p.height));
  uint32_t last = UINT32_MAX;
  uint8_t lastIndex = 0;
  for (int32_t y = 0; y < p.height; ++y) {
    const uint8_t* in = &p.pixels[size_t(y) * p.stride];
    uint8_t* out = &(*indexes)[size_t(y) * size_t(p.width)];
    for (int32_t x = 0; x < p.width; ++x, in += 3) {
      const uint32_t colour = uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
      if (colour != last) {
        size_t h = (colour * 2654435761u) >> 22;
        while (keys[h] != UINT32_MAX && keys[h] != colour) h = (h + 1) & 1023;
        if (keys[h] == UINT32_MAX) {
          if (palette->size() == 256) return false;
          keys[h] = colour;
          slots[h] = uint8_t(palette->size());
          palette->push_back(spng_plte_entry{in[0], in[1], in[2], 0});
        }
        last = colour;
        lastIndex = slots[h];
      }
      out[x] = lastIndex;
    }
  }
  return true;
}

bool WritePng(const RgbPicture& p, const EncodeOptions& options, FILE* out, std::string* error) {
  std::vector<uint8_t> indexes;
  std::vector<spng_plte_entry> palette;
  if (options.indexedPng) AwaitRows(p, p.height);  // every colour must be known first
  const bool indexed = options.indexedPng && Index(p, &indexes, &palette);
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  if (!ctx) {
    *error = "out of memory";
    return false;
  }
  spng_ihdr ihdr = {};
  ihdr.width = uint32_t(p.width);
  ihdr.height = uint32_t(p.height);
  ihdr.bit_depth = 8;
  ihdr.color_type = indexed ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR;
  int e = spng_set_png_file(ctx, out);
  if (!e) e = spng_set_ihdr(ctx, &ihdr);
  if (!e) e = spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, options.pngLevel);
  // One filter for every row (the pixel to the left for colour, none for
  // indexes) is far quicker than trying each and costs little in size; from
  // level 7 on every row tries them all.
  const int filters = options.pngLevel >= 7 ? SPNG_FILTER_CHOICE_ALL
                      : indexed             ? SPNG_FILTER_CHOICE_NONE
                                            : SPNG_FILTER_CHOICE_SUB;
  if (!e) e = spng_set_option(ctx, SPNG_FILTER_CHOICE, filters);
  if (!e && indexed) {
    spng_plte plte = {};
    plte.n_entries = uint32_t(palette.size());
    std::copy(palette.begin(), palette.end(), plte.entries);
    e = spng_set_plte(ctx, &plte);
  }
  if (!e) {
    if (indexed) {
      e = spng_encode_image(ctx, indexes.data(), indexes.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    } else if (p.stride == 3 * size_t(p.width) && !p.awaitRows) {
      e = spng_encode_image(ctx, p.pixels.data(), p.pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    } else {
      e = spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
      for (int32_t y = 0; !e && y < p.height; ++y) {
        AwaitRows(p, y + 1);
        e = spng_encode_row(ctx, &p.pixels[size_t(y) * p.stride], 3 * size_t(p.width));
      }
      if (e == SPNG_EOI) e = 0;
    }
  }
  spng_ctx_free(ctx);
  if (e) {
    *error = std::string("cannot write the PNG: ") + (ferror(out) ? std::strerror(errno) : spng_strerror(e));
    return false;
  }
  return true;
}

}  // namespace

bool WritePicture(const RgbPicture& picture, const EncodeOptions& options, FILE* out, std::string* error) {
  bool ok = false;
  switch (options.format) {
    case ImageFormat::kPng: ok = WritePng(picture, options, out, error); break;
    case ImageFormat::kBmp: ok = WriteBmp(picture, out, error); break;
    case ImageFormat::kPpm: ok = WritePpm(picture, out, error); break;
  }
  if (ok && std::fflush(out) != 0) {
    *error = std::string("cannot write: ") + std::strerror(errno);
    ok = false;
  }
  return ok;
}

bool FormatFromName(const std::string& name, ImageFormat* format) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") *format = ImageFormat::kPng;
  else if (ext == "bmp") *format = ImageFormat::kBmp;
  else if (ext == "ppm") *format = ImageFormat::kPpm;
  else return false;
  return true;
}

const char* FormatExtension(ImageFormat format) {
  switch (format) {
    case ImageFormat::kPng: return ".png";
    case ImageFormat::kBmp: return ".bmp";
    case ImageFormat::kPpm: return ".ppm";
  }
  return "";
}
