#include "mcadec/picture_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mcadec/platform.h"

namespace {

void PutLe(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

bool Put(FILE* out, const void* data, size_t bytes, std::string* error) {
  if (bytes == 0 || std::fwrite(data, 1, bytes, out) == bytes) return true;
  *error = std::string("cannot write: ") + std::strerror(errno);
  return false;
}

uint32_t BmpRowBytes(int32_t width) { return (3 * uint32_t(width) + 3) / 4 * 4; }

// A 24-bit BMP. Bottom-up, as the plug-in hands pictures to a viewer, when the
// output can seek (each row goes to its place); a stream gets a top-down BMP
// (negative height) rather than a whole picture held in memory.
bool OpenBmp(PictureWriter* w, std::string* error) {
  const uint32_t rowBytes = BmpRowBytes(w->width);
  const uint64_t imageBytes = uint64_t(rowBytes) * uint32_t(w->height);
  const int64_t start = TellFile(w->out);
  const bool seekable = start >= 0 && SeekFile(w->out, start);
  uint8_t head[54] = {'B', 'M'};
  PutLe(head + 2, uint32_t(54 + imageBytes), 4);
  PutLe(head + 10, 54, 4);
  PutLe(head + 14, 40, 4);
  PutLe(head + 18, uint32_t(w->width), 4);
  PutLe(head + 22, seekable ? uint32_t(w->height) : uint32_t(-w->height), 4);
  PutLe(head + 26, 1, 2);
  PutLe(head + 28, 24, 2);
  PutLe(head + 34, uint32_t(imageBytes), 4);
  if (!Put(w->out, head, sizeof head, error)) return false;
  w->bmpStart = seekable ? start + 54 : -1;
  w->row.assign(rowBytes, 0);
  return true;
}

// The decode hands BMP rows blue, green, red (MCA_LAYOUT_BGR).
bool WriteBmpRow(PictureWriter* w, const uint8_t* bgr, std::string* error) {
  std::memcpy(w->row.data(), bgr, 3 * size_t(w->width));
  if (w->bmpStart >= 0) {
    const int64_t at = w->bmpStart + int64_t(w->height - 1 - w->next) * int64_t(w->row.size());
    if (!SeekFile(w->out, at)) {
      *error = std::string("cannot write: ") + std::strerror(errno);
      return false;
    }
  }
  return Put(w->out, w->row.data(), w->row.size(), error);
}

bool OpenPngFile(PictureWriter* w, std::string* error) {
  const std::vector<uint8_t>* palette = w->colours ? &w->colours->entries() : nullptr;
  if (!OpenPng(&w->png, w->out, w->width, w->height, palette, w->options.pngLevel, w->options.pngThreads)) {
    *error = w->png.error;
    return false;
  }
  if (w->colours) w->row.assign(size_t(w->width), 0);
  return true;
}

bool WritePngFileRow(PictureWriter* w, const uint8_t* rgb, std::string* error) {
  const uint8_t* in = rgb;
  if (w->colours) {
    for (int32_t x = 0; x < w->width; ++x) w->row[size_t(x)] = w->colours->IndexOf(rgb + 3 * size_t(x));
    in = w->row.data();
  }
  if (WritePngRow(&w->png, in)) return true;
  *error = w->png.error;
  return false;
}

}  // namespace


bool OpenPicture(PictureWriter* w, FILE* out, const EncodeOptions& options, int32_t width, int32_t height,
                 const ColourTable* colours, std::string* error) {
  w->out = out;
  w->options = options;
  w->width = width;
  w->height = height;
  w->next = 0;
  w->colours = options.format == ImageFormat::kPng ? colours : nullptr;
  switch (options.format) {
    case ImageFormat::kPng: return OpenPngFile(w, error);
    case ImageFormat::kBmp: return OpenBmp(w, error);
    case ImageFormat::kPpm: {
      char head[64];
      const int n = std::snprintf(head, sizeof head, "P6\n%d %d\n255\n", int(width), int(height));
      return Put(out, head, size_t(n), error);
    }
  }
  return false;
}

bool WritePictureRow(PictureWriter* w, const uint8_t* pixels, std::string* error) {
  bool ok = false;
  switch (w->options.format) {
    case ImageFormat::kPng: ok = WritePngFileRow(w, pixels, error); break;
    case ImageFormat::kBmp: ok = WriteBmpRow(w, pixels, error); break;
    case ImageFormat::kPpm: ok = Put(w->out, pixels, 3 * size_t(w->width), error); break;
  }
  ++w->next;
  return ok;
}

bool ClosePicture(PictureWriter* w, bool complete, std::string* error) {
  const bool png = w->options.format == ImageFormat::kPng;
  complete = complete && (!png || ClosePng(&w->png));
  if (png && !w->png.error.empty()) *error = w->png.error;
  w->png = PngEncoder{};
  w->row = std::vector<uint8_t>();
  if (!complete) return false;
  // A failed write may have been buffered: the stream remembers it.
  if (std::fflush(w->out) != 0 || std::ferror(w->out)) {
    *error = std::string("cannot write: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool HasExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  const size_t slash = LastPathSeparator(name);
  return dot != std::string::npos && (slash == std::string::npos || slash < dot) && dot + 1 < name.size();
}

bool FormatFromName(const std::string& name, ImageFormat* format) {
  const size_t dot = name.rfind('.');
  const size_t slash = LastPathSeparator(name);
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return false;
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
