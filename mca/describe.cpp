// Problems in words, for people.
#include <cstdio>
#include <cstring>

#include "mca/mca.h"

namespace {

// A size of memory as people read it: "3.00 GiB", "512.00 MiB", "12 bytes".
void FormatBytes(long long bytes, char* text, size_t room) {
  if (bytes >= (1LL << 30)) {
    std::snprintf(text, room, "%.2f GiB", double(bytes) / double(1LL << 30));
  } else if (bytes >= (1LL << 20)) {
    std::snprintf(text, room, "%.2f MiB", double(bytes) / double(1LL << 20));
  } else {
    std::snprintf(text, room, bytes == 1 ? "%lld byte" : "%lld bytes", bytes);
  }
}

}  // namespace

size_t mca_describe(const mca_problem* p, char* text, size_t room) {
  char scratch[1];
  if (room == 0 || !text) {
    text = scratch;
    room = sizeof scratch;
  }
  const long long value = p ? p->value : 0, limit = p ? p->limit : 0;
  const long long frame = p ? (long long)(p->frame) + 1 : 0;  // counted from 1 for people
  const int width = p ? int(p->width) : 0, height = p ? int(p->height) : 0;
  int n = 0;
  switch (p ? p->status : MCA_OK) {
    case MCA_OK: n = std::snprintf(text, room, "no problem"); break;
    case MCA_NOT_MCA:
      n = value == 0 ? std::snprintf(text, room, "the file is empty")
                     : std::snprintf(text, room, "not an MCA picture (it does not begin with \"MCA\")");
      break;
    case MCA_HEAD_OUTSIDE: n = std::snprintf(text, room, "the file is shorter than the 48-byte head"); break;
    case MCA_BAD_PALETTE_COUNT:
      n = std::snprintf(text, room, "the palette count %lld is out of range (0 to 256)", value);
      break;
    case MCA_PALETTE_OUTSIDE: n = std::snprintf(text, room, "the palette lies outside the file"); break;
    case MCA_TABLE_OUTSIDE: n = std::snprintf(text, room, "the frame table lies outside the file"); break;
    case MCA_FRAME_HEAD_OUTSIDE: n = std::snprintf(text, room, "frame %lld's head lies outside the file", frame); break;
    case MCA_PAYLOAD_OUTSIDE: n = std::snprintf(text, room, "frame %lld's payload lies outside the file", frame); break;
    case MCA_NEGATIVE_HEIGHT:
      n = std::snprintf(text, room, "the frames' heights add up to a negative height (%lld)", value);
      break;
    case MCA_TOO_LARGE: {
      char needs[48], holds[48];
      FormatBytes(value, needs, sizeof needs);
      FormatBytes(limit, holds, sizeof holds);
      if (std::strcmp(needs, holds) == 0) {  // too close to tell apart rounded: exactly, then
        std::snprintf(needs + std::strlen(needs), sizeof needs - std::strlen(needs), " (%lld bytes)", value);
        std::snprintf(holds + std::strlen(holds), sizeof holds - std::strlen(holds), " (%lld bytes)", limit);
      }
      n = std::snprintf(text, room, "the picture of %d x %d pixels needs %s of pixels, over the %s that any decoder "
                        "here holds", width, height, needs, holds);
      break;
    }
    case MCA_OVER_SIZE_LIMIT:
      n = std::snprintf(text, room, "the picture's %lld pixels (%d x %d) are over the size limit of %lld pixels", value,
                        width, height, limit);
      break;
    case MCA_OVER_DIMENSION_LIMIT:
      n = std::snprintf(text, room,
                        "the picture's side of %lld pixels (%d x %d) is over the dimension limit of %lld pixels", value,
                        width, height, limit);
      break;
    case MCA_NO_PIXELS:
      n = width || height ? std::snprintf(text, room, "the picture has no pixels (%d x %d)", width, height)
                          : std::snprintf(text, room, "the picture has no pixels");
      break;
    case MCA_BAD_ARGUMENT: n = std::snprintf(text, room, "a call was given an argument out of range"); break;
    case MCA_BUFFER_TOO_SMALL:
      n = std::snprintf(text, room, "the buffer of %lld bytes is too small for the picture's %lld", limit, value);
      break;
    case MCA_NO_MEMORY: n = std::snprintf(text, room, "out of memory"); break;
    case MCA_STOPPED: n = std::snprintf(text, room, "stopped by the caller"); break;
    case MCA_READ_FAILED: n = std::snprintf(text, room, "the file could not be read"); break;
    case MCA_SHORT_PAYLOADS: {
      char holds[48], needs[48];
      FormatBytes(value, holds, sizeof holds);
      FormatBytes(limit, needs, sizeof needs);
      n = std::snprintf(text, room, "the file holds pixels for at most %s of a %s picture (%d x %d): it is damaged or "
                        "cut short", holds, needs, width, height);
      break;
    }
    case MCA_TOO_MANY_COLOURS:
      n = std::snprintf(text, room, "the picture has more than %lld colours, too many for 8-bit frames", limit);
      break;
    case MCA_SIZE_DIFFERS:
      n = std::snprintf(text, room, "the picture is %d x %d but its template is %lld x %lld", width, height, value,
                        limit);
      break;
    case MCA_UNFIT_TEMPLATE:
      n = std::snprintf(text, room, "the template's frame %lld has a negative side", frame);
      break;
    case MCA_WRITE_FAILED: n = std::snprintf(text, room, "the file could not be written"); break;
    default: n = std::snprintf(text, room, "unknown problem %d", int(p->status)); break;
  }
  return n < 0 ? 0 : size_t(n);
}
