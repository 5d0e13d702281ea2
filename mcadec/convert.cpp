#include "mcadec/convert.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mcadec/platform.h"
#include "mcadec/output_file.h"
#include "mcadec/problem_words.h"
#include "mcadec/row_pipe.h"

namespace {

// The rows of the output: the whole picture, or the picture fitted into the
// --resize box.
struct Plan {
  const InputBytes* bytes;
  const mca_options* decode;
  int32_t width;
  int32_t height;
};

mca_status DecodeTo(const Plan& plan, const mca_row_sink& sink, mca_problem* problem) {
  return mca_decode_scaled(plan.bytes->data.get(), plan.bytes->size, plan.decode, plan.width, plan.height, &sink,
                           problem);
}

// The first pass of an indexed PNG: the output's colours, if at most 256
// (false too when the picture cannot be decoded: the second pass tells why).
bool GatherColours(const Plan& plan, ColourTable* colours) {
  ColourRows rows{colours, size_t(plan.width)};
  const mca_row_sink sink{nullptr, AddColourRow, &rows};
  mca_options rgb = *plan.decode;
  rgb.layout = MCA_LAYOUT_RGB;
  return mca_decode_scaled(plan.bytes->data.get(), plan.bytes->size, &rgb, plan.width, plan.height, &sink,
                           nullptr) == MCA_OK;
}

// The encoder as a row sink: the file is started once the decode has checked
// the limits, and every row goes straight into it.
struct Encoder {
  FILE* out;
  const EncodeOptions* options;
  const ColourTable* colours;
  PictureWriter writer;
  bool opened = false;
  std::string error;
};

int BeginEncoding(void* context, int32_t width, int32_t height) {
  Encoder& e = *static_cast<Encoder*>(context);
  e.opened = OpenPicture(&e.writer, e.out, *e.options, width, height, e.colours, &e.error);
  return e.opened ? 0 : 1;
}

int EncodeRow(void* context, int32_t, const uint8_t* rgb) {
  Encoder& e = *static_cast<Encoder*>(context);
  return WritePictureRow(&e.writer, rgb, &e.error) ? 0 : 1;
}

bool Encode(const Plan& plan, const ConvertOptions& options, const ColourTable* colours, FILE* out,
            std::string* error) {
  Encoder encoder{out, &options.encode, colours, PictureWriter{}, false, std::string()};
  const mca_row_sink sink{BeginEncoding, EncodeRow, &encoder};
  mca_problem problem = {};
  mca_status status;
  if (options.overlap) {
    status = DecodeBesideWriter([&](const mca_row_sink& s) { return DecodeTo(plan, s, &problem); }, sink);
  } else {
    status = DecodeTo(plan, sink, &problem);
  }
  const bool written = status == MCA_OK;
  const bool closed = encoder.opened && ClosePicture(&encoder.writer, written, &encoder.error);
  if (written && closed) return true;
  *error = status == MCA_OK || status == MCA_STOPPED ? encoder.error : ProblemWords(problem);
  if (error->empty()) *error = "stopped";
  return false;
}

// The length of the well-formed UTF-8 sequence at `p` (of `left` bytes), or 0.
size_t Utf8Length(const unsigned char* p, size_t left) {
  const unsigned char c = p[0];
  const size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || n > left || (n == 2 && c < 0xC2) || (n == 4 && c > 0xF4)) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  if (n == 3 && ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0))) return 0;  // overlong, surrogates
  if (n == 4 && ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90))) return 0;
  return n;
}

// A JSON string. File names are bytes: well-formed UTF-8 passes as it is,
// and each other byte is taken as Latin-1 (\u00XX), so the text is valid
// JSON for any name.
void AppendJsonString(std::string* out, const std::string& text) {
  *out += '"';
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = p[i];
    const size_t n = Utf8Length(p + i, text.size() - i);
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += char(c);
    } else if (c < 0x20 || n == 0) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      *out += escaped;
    } else {
      out->append(text, i, n);
      i += n;
      continue;
    }
    ++i;
  }
  *out += '"';
}

// The file's bytes and what its heads say; false, with the reason, when it
// cannot be read or is no sound picture.
bool ReadPicture(const std::string& input, InputBytes* bytes, mca_info* info, std::string* error) {
  if (!ReadInput(input, bytes, error)) return false;
  mca_problem problem;
  if (mca_probe(bytes->data.get(), bytes->size, info, &problem) != MCA_OK) {
    *error = ProblemWords(problem);
    return false;
  }
  return true;
}

}  // namespace

bool ConvertFile(const std::string& input, const std::string& output, const ConvertOptions& options,
                 std::string* error) {
  InputBytes bytes;
  mca_info info;
  mca_problem problem;
  if (!ReadPicture(input, &bytes, &info, error)) return false;
  Plan plan{&bytes, &options.decode, info.width, info.height};
  if (options.fitWidth > 0 && options.fitHeight > 0 && info.width > 0 && info.height > 0) {
    mca_fit_size(info.width, info.height, options.fitWidth, options.fitHeight, &plan.width, &plan.height);
  }
  // Refused before any output is opened, as the decode would refuse it: no
  // pixels, or over the limits, which apply to the output.
  if (mca_check_limits(plan.width, plan.height, plan.decode, &problem) != MCA_OK) {
    *error = ProblemWords(problem);
    return false;
  }
  // A palette picture becomes an indexed PNG when it has at most 256 colours:
  // a first decode gathers them (the rows are not kept), the second writes.
  ColourTable colours;
  const bool indexed = options.encode.format == ImageFormat::kPng && options.encode.indexedPng &&
                       info.pixel_format == 8 && GatherColours(plan, &colours);
  const ColourTable* palette = indexed ? &colours : nullptr;
  if (output == "-") return Encode(plan, options, palette, stdout, error);
  OutputFile out;
  if (!OpenOutput(output, options.force, &out, error)) return false;
  if (!Encode(plan, options, palette, out.stream, error)) {
    DiscardOutput(&out);
    return false;
  }
  return CommitOutput(&out, options.force, error);
}

bool DescribeFile(const std::string& input, bool json, std::string* text, std::string* error) {
  InputBytes bytes;
  mca_info info;
  if (!ReadPicture(input, &bytes, &info, error)) return false;
  const char* format = info.pixel_format == 8 ? "8-bit" : "24-bit";
  char line[256];
  if (json) {
    *text = "{\"file\": ";
    AppendJsonString(text, input);
    std::snprintf(line, sizeof line, ", \"width\": %d, \"height\": %d, \"format\": \"%s\", \"palette\": %d, \"frames\": [",
                  info.width, info.height, format, info.palette_count);
    *text += line;
  } else {
    std::snprintf(line, sizeof line, "%s: %d x %d, %s, %d palette entries, %d frame%s\n", input.c_str(), info.width,
                  info.height, format, info.palette_count, info.frame_count, info.frame_count == 1 ? "" : "s");
    *text = line;
  }
  for (int32_t i = 0; i < info.frame_count; ++i) {
    mca_frame_info f = {};
    mca_get_frame(bytes.data.get(), bytes.size, i, &f);
    // A stored frame has no expanded size: the field means nothing there.
    if (json) {
      const int n = std::snprintf(line, sizeof line, "%s{\"width\": %d, \"height\": %d, \"compressed\": %s, \"stored\": %d",
                                  i ? ", " : "", f.width, f.height, f.compressed ? "true" : "false", f.stored_size);
      if (f.compressed) std::snprintf(line + n, sizeof line - size_t(n), ", \"expanded\": %d}", f.expanded_size);
      else std::snprintf(line + n, sizeof line - size_t(n), "}");
    } else if (f.compressed) {
      std::snprintf(line, sizeof line, "  frame %d: %d x %d, compressed, %d bytes stored, %d expanded\n", i + 1,
                    f.width, f.height, f.stored_size, f.expanded_size);
    } else {
      std::snprintf(line, sizeof line, "  frame %d: %d x %d, stored, %d bytes\n", i + 1, f.width, f.height,
                    f.stored_size);
    }
    *text += line;
  }
  if (json) *text += "]}";
  return true;
}

std::string DescribeFailure(const std::string& input, const std::string& error) {
  std::string text = "{\"file\": ";
  AppendJsonString(&text, input);
  text += ", \"error\": ";
  AppendJsonString(&text, error);
  return text + "}";
}
