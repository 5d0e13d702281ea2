#include "mcadec/convert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "mca/mca_picture.h"
#include "mcadec/output_file.h"

namespace {

std::string Problem(const McaProblem& problem) {
  char text[160];
  McaDescribeProblem(problem, text, sizeof text);
  return text;
}

bool Probe(const InputBytes& bytes, McaPictureInfo* info, std::string* error) {
  McaProblem problem;
  if (McaProbe(bytes.span(), info, &problem) == kMcaOk) return true;
  *error = Problem(problem);
  return false;
}

// Rows final so far, handed from the decoding thread to the writing one.
class RowGate {
 public:
  static void Publish(void* gate, int64_t rows) { static_cast<RowGate*>(gate)->Set(rows); }
  void Set(int64_t rows) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      rows_ = rows;
    }
    changed_.notify_all();
  }
  void Await(int64_t rows) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return rows_ >= rows; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int64_t rows_ = 0;
};

bool Allocate(const McaPictureInfo& info, RgbPicture* picture, std::string* error) {
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
  return true;
}

bool Decode(const InputBytes& bytes, const McaPictureInfo& info, RgbPicture* picture, std::string* error,
            const McaRowsFinal* rowsFinal = nullptr) {
  McaProblem problem;
  if (McaDecodeRgb(bytes.span(), info, picture->pixels.data(), picture->stride, &problem,
                   rowsFinal) != kMcaOk) {
    *error = Problem(problem);
    return false;
  }
  return true;
}

// Writes the picture while a thread of its own decodes it; the writer waits
// for each row to be final. Without a thread to be had, decodes first.
bool DecodeAndWrite(const InputBytes& bytes, const McaPictureInfo& info, RgbPicture* picture,
                    const EncodeOptions& encode, FILE* out, std::string* error) {
  RowGate gate;
  const McaRowsFinal rowsFinal{RowGate::Publish, &gate};
  bool decoded = false;
  std::string decodeError;
  std::thread decoder;
  try {
    decoder = std::thread([&] {
      decoded = Decode(bytes, info, picture, &decodeError, &rowsFinal);
      gate.Set(info.height);  // a failed decode must not leave the writer waiting
    });
  } catch (const std::system_error&) {
    return Decode(bytes, info, picture, error) && WritePicture(*picture, encode, out, error);
  }
  picture->awaitRows = [&](int32_t rows) { gate.Await(rows); };
  const bool written = WritePicture(*picture, encode, out, error);
  decoder.join();
  picture->awaitRows = nullptr;
  if (!decoded) *error = decodeError;
  return decoded && written;
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

bool ReadInput(const std::string& path, InputBytes* bytes, std::string* error) {
  const bool standardInput = path == "-";
  FILE* f = standardInput ? stdin : std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  // A regular file is read in one go; a pipe, in growing pieces. The buffer
  // is not cleared first: only the bytes read are ever looked at.
  struct stat info;
  const bool sized = fstat(fileno(f), &info) == 0 && S_ISREG(info.st_mode);
  size_t room = sized ? size_t(info.st_size) + 1 : size_t(1) << 16;
  size_t used = 0;
  bytes->data.reset(static_cast<uint8_t*>(std::malloc(room)));
  bool failed = !bytes->data;
  while (!failed) {
    const size_t n = std::fread(bytes->data.get() + used, 1, room - used, f);
    used += n;
    if (n == 0) break;
    if (used == room) {
      uint8_t* larger = static_cast<uint8_t*>(std::realloc(bytes->data.get(), 2 * room));
      failed = !larger;
      if (larger) {
        bytes->data.release();
        bytes->data.reset(larger);
        room *= 2;
      }
    }
  }
  bytes->size = used;
  const bool unreadable = std::ferror(f);
  if (!standardInput) std::fclose(f);
  if (failed) {
    *error = "out of memory";
    return false;
  }
  if (unreadable) {
    *error = std::string("cannot read: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool ConvertFile(const std::string& input, const std::string& output, const ConvertOptions& options,
                 std::string* error) {
  InputBytes bytes;
  McaPictureInfo info;
  RgbPicture picture;
  if (!ReadInput(input, &bytes, error) || !Probe(bytes, &info, error) || !Allocate(info, &picture, error)) {
    return false;
  }
  EncodeOptions encode = options.encode;
  encode.indexedPng = encode.indexedPng && info.pixelFormat == kMcaIndexedFormat;
  // A palette picture is indexed only once every pixel is known: no overlap.
  const bool overlap = options.overlap && !encode.indexedPng;
  if (!overlap && !Decode(bytes, info, &picture, error)) return false;
  auto write = [&](FILE* stream) {
    return overlap ? DecodeAndWrite(bytes, info, &picture, encode, stream, error)
                   : WritePicture(picture, encode, stream, error);
  };
  if (output == "-") return write(stdout);
  OutputFile out;
  if (!OpenOutput(output, options.force, &out, error)) return false;
  if (!write(out.stream)) {
    DiscardOutput(&out);
    return false;
  }
  return CommitOutput(&out, options.force, error);
}

bool DescribeFile(const std::string& input, bool json, std::string* text, std::string* error) {
  InputBytes bytes;
  McaPictureInfo info;
  if (!ReadInput(input, &bytes, error) || !Probe(bytes, &info, error)) return false;
  const McaSpan span = bytes.span();
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
