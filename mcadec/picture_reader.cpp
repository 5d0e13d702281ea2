#include "mcadec/picture_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "mcadec/input_file.h"
#include "mcadec/problem_words.h"
#include "mcadec/platform.h"

namespace {

enum class Kind { kNone, kPng, kBmp, kPnm };

Kind KindOf(const uint8_t* head, size_t size) {
  if (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return Kind::kPng;
  if (size >= 2 && head[0] == 'B' && head[1] == 'M') return Kind::kBmp;
  if (size >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) return Kind::kPnm;
  return Kind::kNone;
}

}  // namespace

bool IsReadablePicture(const std::string& path) {
  uint8_t head[8];
  return KindOf(head, ReadFileHead(path, head, sizeof head)) != Kind::kNone;
}

bool TakePixels(int64_t width, int64_t height, const mca_options& limits, RgbaPicture* picture, std::string* error) {
  mca_problem problem;
  if (width > INT32_MAX || height > INT32_MAX) {
    *error = "the picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large";
    return false;
  }
  if (mca_check_limits(int32_t(width), int32_t(height), &limits, &problem) != MCA_OK) {
    *error = ProblemWords(problem);
    return false;
  }
  picture->width = int32_t(width);
  picture->height = int32_t(height);
  try {
    picture->rgba.assign(4 * size_t(width) * size_t(height), 255);
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
  return true;
}

bool ReadPicture(const std::string& path, const mca_options& limits, RgbaPicture* picture, std::string* error) {
  InputBytes bytes;
  if (!ReadInput(path, &bytes, error)) return false;
  switch (KindOf(bytes.data.get(), bytes.size)) {
    case Kind::kPng: return ReadPng(bytes.data.get(), bytes.size, limits, picture, error);
    case Kind::kBmp: return ReadBmp(bytes.data.get(), bytes.size, limits, picture, error);
    case Kind::kPnm: return ReadPnm(bytes.data.get(), bytes.size, limits, picture, error);
    case Kind::kNone: break;
  }
  *error = bytes.size >= 3 && mca_has_signature(bytes.data.get(), bytes.size)
               ? "an MCA picture already (mcaenc reads PNG, BMP and PPM)"
               : "not a PNG, BMP or PPM picture";
  return false;
}
