#include "mcadec/convert.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mca/mca_picture.h"
#include "mcadec/output_file.h"

namespace {

std::string Problem(const McaProblem& problem) {
  char text[160];
  McaDescribeProblem(problem, text, sizeof text);
  return text;
}

bool Probe(const std::vector<uint8_t>& bytes, McaPictureInfo* info, std::string* error) {
  McaProblem problem;
  if (McaProbe(McaSpan{bytes.data(), bytes.size()}, info, &problem) == kMcaOk) return true;
  *error = Problem(problem);
  return false;
}

bool Decode(const std::vector<uint8_t>& bytes, const McaPictureInfo& info, RgbPicture* picture, std::string* error) {
  if (info.width <= 0 || info.height <= 0) {
    *error = "the picture has no pixels (" + std::to_string(info.width) + " x " + std::to_string(info.height) + ")";
    return false;
  }
  picture->width = info.width;
  picture->height = info.height;
  picture->stride = 3 * size_t(info.width);
  try {
    picture->pixels.resize(picture->stride * size_t(info.height));
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
  McaProblem problem;
  if (McaDecodeRgb(McaSpan{bytes.data(), bytes.size()}, info, picture->pixels.data(), picture->stride, &problem) !=
      kMcaOk) {
    *error = Problem(problem);
    return false;
  }
  return true;
}

void AppendJsonString(std::string* out, const std::string& text) {
  *out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += char(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      *out += escaped;
    } else {
      *out += char(c);
    }
  }
  *out += '"';
}

}  // namespace

bool ReadInput(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  const bool standardInput = path == "-";
  FILE* f = standardInput ? stdin : std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  bytes->clear();
  uint8_t chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  const bool failed = std::ferror(f);
  if (!standardInput) std::fclose(f);
  if (failed) {
    *error = std::string("cannot read: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool ConvertFile(const std::string& input, const std::string& output, const ConvertOptions& options,
                 std::string* error) {
  std::vector<uint8_t> bytes;
  McaPictureInfo info;
  RgbPicture picture;
  if (!ReadInput(input, &bytes, error) || !Probe(bytes, &info, error) || !Decode(bytes, info, &picture, error)) {
    return false;
  }
  bytes = {};
  EncodeOptions encode = options.encode;
  encode.indexedPng = encode.indexedPng && info.pixelFormat == kMcaIndexedFormat;
  if (output == "-") return WritePicture(picture, encode, stdout, error);
  OutputFile out;
  if (!OpenOutput(output, options.force, &out, error)) return false;
  if (!WritePicture(picture, encode, out.stream, error)) {
    DiscardOutput(&out);
    return false;
  }
  return CommitOutput(&out, options.force, error);
}

bool DescribeFile(const std::string& input, bool json, std::string* text, std::string* error) {
  std::vector<uint8_t> bytes;
  McaPictureInfo info;
  if (!ReadInput(input, &bytes, error) || !Probe(bytes, &info, error)) return false;
  const McaSpan span{bytes.data(), bytes.size()};
  const char* format = info.pixelFormat == kMcaIndexedFormat ? "8-bit" : "24-bit";
  char line[256];
  if (json) {
    *text = "{\"file\": ";
    AppendJsonString(text, input);
    std::snprintf(line, sizeof line, ", \"width\": %d, \"height\": %d, \"format\": \"%s\", \"palette\": %d, \"frames\": [",
                  info.width, info.height, format, info.paletteCount);
    *text += line;
  } else {
    std::snprintf(line, sizeof line, "%s: %d x %d, %s, %d palette entries, %d frame%s\n", input.c_str(), info.width,
                  info.height, format, info.paletteCount, info.frameCount, info.frameCount == 1 ? "" : "s");
    *text = line;
  }
  for (int32_t i = 0; i < info.frameCount; ++i) {
    const McaFrameInfo f = McaGetFrame(span, i);
    if (json) {
      std::snprintf(line, sizeof line,
                    "%s{\"width\": %d, \"height\": %d, \"compressed\": %s, \"stored\": %d, \"expanded\": %d}",
                    i ? ", " : "", f.width, f.height, f.compressed ? "true" : "false", f.storedSize, f.expandedSize);
    } else {
      std::snprintf(line, sizeof line, "  frame %d: %d x %d, %s, %d bytes stored, %d expanded\n", i + 1, f.width,
                    f.height, f.compressed ? "compressed" : "stored", f.storedSize, f.expandedSize);
    }
    *text += line;
  }
  if (json) *text += "]}";
  return true;
}
