#include "mcadec/encode_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mcadec/output_file.h"
#include "mcadec/picture_reader.h"
#include "mcadec/platform.h"
#include "mcadec/problem_words.h"

namespace {

// Transparent pixels: flattened onto the background, or the picture refused.
bool Opaque(const EncodeFileOptions& options, RgbaPicture* picture, std::string* error) {
  uint8_t* p = picture->rgba.data();
  const size_t pixels = size_t(picture->width) * size_t(picture->height);
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const uint32_t a = p[3];
    if (a == 255) continue;
    if (!options.flatten) {
      *error = "the picture has transparent pixels, which MCA cannot hold (--background COLOUR flattens them)";
      return false;
    }
    for (int c = 0; c < 3; ++c) p[c] = uint8_t((p[c] * a + options.background[c] * (255 - a) + 127) / 255);
    p[3] = 255;
  }
  return true;
}

int PictureRow(void* context, int32_t y, uint8_t* into) {
  const RgbaPicture& p = *static_cast<const RgbaPicture*>(context);
  const size_t bytes = 4 * size_t(p.width);
  std::copy(p.rgba.data() + bytes * size_t(y), p.rgba.data() + bytes * (size_t(y) + 1), into);
  return 0;
}

int FileWrite(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
  std::FILE* file = static_cast<std::FILE*>(context);
  return SeekFile(file, int64_t(offset)) && std::fwrite(bytes, 1, size, file) == size;
}

}  // namespace

bool EncodeFile(const std::string& input, const std::string& output, const EncodeFileOptions& options,
                std::string* error) {
  RgbaPicture picture;
  if (!ReadPicture(input, options.encode, &picture, error) || !Opaque(options, &picture, error)) return false;
  OutputFile out;
  if (!OpenOutput(output, options.force, &out, error)) return false;
  mca_options encode = options.encode;
  encode.layout = MCA_LAYOUT_RGBA;
  const mca_row_source source{PictureRow, &picture};
  const mca_writer writer{FileWrite, out.stream};
  mca_problem problem;
  if (mca_encode(picture.width, picture.height, &encode, &source, &writer, &problem) != MCA_OK) {
    *error = problem.status == MCA_WRITE_FAILED ? "cannot write " + output + ": " + std::strerror(errno)
                                                : ProblemWords(problem);
    DiscardOutput(&out);
    return false;
  }
  return CommitOutput(&out, options.force, error);
}
