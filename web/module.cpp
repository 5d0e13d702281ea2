// The web page's way into the decoder, compiled to WebAssembly: a picture in
// linear memory becomes PNG scanlines and an RGBA preview, through the public
// API alone, as mcadec writes them: RGB rows each with the filter of the
// smallest sum, or, for an 8-bit picture of at most 256 colours, palette
// indexes unfiltered. The scanlines go to the page a band of rows at a time
// as they are made (zv_scanlines), so memory is a band whatever the picture's
// size; the page deflates each band before the decode goes on (the build
// lets zv_scanlines suspend the module: binaryen's asyncify). The page reads
// the result's fields from memory.
#include <cstdlib>
#include <cstring>

#include "mca/mca.h"
#include "png/colour_table.h"
#include "png/png_filter.h"

#define EXPORT(name) extern "C" __attribute__((export_name(#name)))

// The page's: told how many rows of the picture are decoded, about a hundred
// times a picture, so that it can show how far a long conversion has come.
extern "C" __attribute__((import_module("env"), import_name("zv_progress"))) void zv_progress(int32_t rows,
                                                                                                int32_t height);
// The page's: takes the next band of scanlines (whole rows, each its filter
// byte first); the bytes are the page's to copy during the call.
extern "C" __attribute__((import_module("env"), import_name("zv_scanlines"))) void zv_scanlines(const uint8_t* bytes,
                                                                                                  uint32_t size);

namespace {

// Scanlines handed to the page at once, about.
constexpr size_t kBandBytes = 1 << 20;

// Laid out for the page, which reads it as 32-bit words (offsets in bytes:
// status 0, width 4, height 8, pixel format 12, preview 16, its width 20 and
// height 24, palette entries 28, palette 32, words 800).
struct Picture {
  int32_t status;
  int32_t width;
  int32_t height;
  int32_t pixelFormat;
  uint8_t* preview;    // RGBA, previewWidth x previewHeight
  int32_t previewWidth;
  int32_t previewHeight;
  int32_t paletteCount;   // 0: an RGB PNG
  uint8_t palette[768];   // red, green, blue of each index
  char words[MCA_DESCRIBE_ROOM];        // what went wrong, when status is not 0
};

struct Conversion {
  Picture* picture;
  int32_t previewSide;
  ColourTable* colours;  // an indexed PNG's, else null
  uint8_t* above;    // the row above, unfiltered (zeros above the first)
  uint8_t* scratch;  // the four filtered candidates of a row
  uint8_t* band;     // scanlines not yet handed over: per row the filter type, then the row
  int32_t bandRows;
  int32_t heldRows;
};

int Begin(void* context, int32_t width, int32_t height) {
  Conversion& c = *static_cast<Conversion*>(context);
  Picture& p = *c.picture;
  p.width = width;
  p.height = height;
  const size_t rowBytes = (c.colours ? 1 : 3) * size_t(width);
  mca_fit_size(width, height, c.previewSide, c.previewSide, &p.previewWidth, &p.previewHeight);
  const size_t fit = kBandBytes / (rowBytes + 1);
  c.bandRows = int32_t(fit < 1 ? 1 : fit > size_t(height) ? size_t(height) : fit);
  c.band = static_cast<uint8_t*>(std::malloc((rowBytes + 1) * size_t(c.bandRows)));
  c.above = static_cast<uint8_t*>(std::calloc(rowBytes, 1));
  c.scratch = static_cast<uint8_t*>(std::malloc(4 * rowBytes));
  if (!c.band || !c.above || !c.scratch) {
    p.status = MCA_NO_MEMORY;
    return 1;
  }
  return 0;
}

int Row(void* context, int32_t y, const uint8_t* rgb) {
  Conversion& c = *static_cast<Conversion*>(context);
  Picture& p = *c.picture;
  const size_t rowBytes = (c.colours ? 1 : 3) * size_t(p.width);
  uint8_t* out = c.band + size_t(c.heldRows) * (rowBytes + 1);
  if (c.colours) {
    out[0] = 0;  // palette rows go unfiltered, as mcadec writes them
    for (int32_t x = 0; x < p.width; ++x) out[1 + x] = c.colours->IndexOf(rgb + 3 * size_t(x));
  } else {
    const uint8_t* filtered = rgb;
    out[0] = FilterRgbRow(rgb, c.above, rowBytes, c.scratch, &filtered);
    std::memcpy(out + 1, filtered, rowBytes);
    std::memcpy(c.above, rgb, rowBytes);
  }
  const int32_t step = p.height / 100 + 1;
  if ((y + 1) % step == 0 || y + 1 == p.height) zv_progress(y + 1, p.height);
  if (++c.heldRows == c.bandRows || y + 1 == p.height) {
    zv_scanlines(c.band, uint32_t(size_t(c.heldRows) * (rowBytes + 1)));
    c.heldRows = 0;
  }
  return 0;
}

int PreviewRow(void* context, int32_t y, const uint8_t* rgba) {
  Picture& p = *static_cast<Picture*>(context);
  std::memcpy(p.preview + 4 * size_t(p.previewWidth) * size_t(y), rgba, 4 * size_t(p.previewWidth));
  return 0;
}

void Describe(Picture* p, const mca_problem& problem) {
  mca_problem words = problem;
  words.status = mca_status(p->status);
  mca_describe(&words, p->words, sizeof p->words);
}

}  // namespace

EXPORT(zv_alloc) void* zv_alloc(uint32_t bytes) { return std::malloc(bytes ? bytes : 1); }

EXPORT(zv_free) void zv_free(void* block) { std::free(block); }

EXPORT(zv_release) void zv_release(Picture* p) {
  if (!p) return;
  std::free(p->preview);
  std::free(p);
}

// Converts the file's bytes; the preview fits in previewSide x previewSide
// (area-averaged down when the picture is larger). Null only when not even
// the result can be had.
EXPORT(zv_convert) Picture* zv_convert(const uint8_t* data, uint32_t size, int32_t previewSide) {
  Picture* p = static_cast<Picture*>(std::calloc(1, sizeof(Picture)));
  if (!p) return nullptr;
  Conversion c = {p, previewSide < 1 ? 1 : previewSide, nullptr, nullptr, nullptr, nullptr, 0, 0};
  mca_info info;
  mca_problem problem = {MCA_OK, -1, 0, 0, 0, 0};
  p->status = mca_probe(data, size, &info, &problem);
  // No pixels, or over the default limits: refused before any decode.
  if (p->status == MCA_OK) p->status = mca_check_limits(info.width, info.height, nullptr, &problem);
  ColourTable colours;
  if (p->status == MCA_OK && info.pixel_format == 8) {
    // An indexed PNG when 256 colours or fewer: a first pass takes the colours.
    ColourRows rows = {&colours, size_t(info.width)};
    const mca_row_sink sink = {nullptr, AddColourRow, &rows};
    if (mca_decode_rows(data, size, nullptr, &sink, nullptr) == MCA_OK) {
      c.colours = &colours;
      p->paletteCount = int32_t(colours.entries().size() / 3);
      std::memcpy(p->palette, colours.entries().data(), colours.entries().size());
    }
  }
  if (p->status == MCA_OK) {
    p->pixelFormat = info.pixel_format;
    const mca_row_sink sink = {Begin, Row, &c};
    const mca_status status = mca_decode_rows(data, size, nullptr, &sink, &problem);
    // A stop is the sink's own verdict, already in p->status.
    if (status != MCA_STOPPED) p->status = status;
  }
  if (p->status == MCA_OK) {
    // The preview, RGBA as the page's ImageData takes it, at most previewSide
    // a side: area-averaged down, or the picture's own rows.
    p->preview = static_cast<uint8_t*>(std::malloc(4 * size_t(p->previewWidth) * size_t(p->previewHeight)));
    mca_options rgba;
    mca_default_options(&rgba);
    rgba.layout = MCA_LAYOUT_RGBA;
    const mca_row_sink sink = {nullptr, PreviewRow, p};
    p->status = p->preview ? mca_decode_scaled(data, size, &rgba, p->previewWidth, p->previewHeight, &sink, &problem)
                           : MCA_NO_MEMORY;
  }
  std::free(c.above);
  std::free(c.scratch);
  std::free(c.band);
  if (p->status != MCA_OK) {
    Describe(p, problem);
    std::free(p->preview);
    p->preview = nullptr;
  }
  return p;
}
