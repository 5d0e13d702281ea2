// The public decodes: into a buffer, to a row sink, scaled down to a sink.
#include <cstdlib>
#include <cstring>

#include "mca/api_support.h"
#include "mca/box_scaler.h"
#include "mca/container.h"
#include "mca/frame_decoder.h"
#include "mca/frame_rows.h"

namespace {

// The canvas of a whole picture: the stream bound K is the DIB's, so every
// layout places the same bytes.
McaCanvas PictureCanvas(const mca_info& info, uint8_t* pixels, size_t stride, size_t rowLimit, mca_layout layout) {
  McaCanvas canvas;
  canvas.pixels = pixels;
  canvas.stride = stride;
  canvas.height = info.height;
  canvas.capacity = uint64_t(McaRowStride(info.width)) * uint64_t(info.height) + 4;
  canvas.rowLimit = rowLimit;
  canvas.topDown = layout != MCA_LAYOUT_DIB;
  canvas.rgb = layout == MCA_LAYOUT_RGB;
  return canvas;
}

// Probes and checks the full-size limits, and for a decode into memory
// (`whole`) that the payloads can fill the picture. A payload outside the
// data is answered only once the picture's size is known to be sound.
mca_status ProbeWithin(const uint8_t* data, size_t size, const mca_options& options, bool whole, mca_info* info,
                       mca_problem* problem) {
  const mca_status status = ProbeContainer(McaSpan{data, size}, false, info, problem);
  if (status != MCA_OK && status != MCA_PAYLOAD_OUTSIDE) return status;
  const mca_problem found = problem ? *problem : mca_problem{};
  if (info->height < 0) return Fail(problem, MCA_NEGATIVE_HEIGHT, -1, info->height);
  const mca_status within = CheckLimits(info->width, info->height, options, problem);
  if (within != MCA_OK) return within;
  if (whole) {
    const mca_status filled = CheckFill(*info, options, problem);
    if (filled != MCA_OK) return filled;
  }
  return Fail(problem, status, found.frame, found.value, found.limit);
}

// Decodes the picture's rows into a sink, top row first.
mca_status DecodeRows(McaSpan container, const McaThreads& threads, const mca_info& info,
                      int (*row)(void*, int32_t, const uint8_t*), void* context, mca_problem* problem) {
  if (info.height == 0) return Succeed(problem);  // no rows: not even a row's memory
  const size_t rowBytes = 3 * size_t(info.width);
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(rowBytes > 0 ? rowBytes : 1));
  if (!buffer) return Fail(problem, MCA_NO_MEMORY);
  McaRowEmitter emitter{row, context, buffer, 0, false};
  McaCanvas canvas = PictureCanvas(info, nullptr, 0, rowBytes, MCA_LAYOUT_RGB);
  canvas.emitter = &emitter;
  const mca_status decoded = DecodeMcaCanvas(container, &canvas, &threads);
  std::free(buffer);
  if (decoded != MCA_OK) return Fail(problem, decoded);
  return Fail(problem, emitter.stopped ? MCA_STOPPED : MCA_OK);
}

int Begin(const mca_row_sink& sink, int32_t width, int32_t height) {
  return sink.begin ? sink.begin(sink.context, width, height) : 0;
}

bool IsRowLayout(mca_layout layout) { return layout != MCA_LAYOUT_DIB && unsigned(layout) <= MCA_LAYOUT_BGRA; }

size_t PixelBytes(mca_layout layout) { return layout == MCA_LAYOUT_RGBA || layout == MCA_LAYOUT_BGRA ? 4 : 3; }

// A sink fed the decode's red, green, blue rows that hands them on in a
// layout of the caller's: RGB goes straight through, the others through one
// row turned into the layout.
struct LayoutSink {
  int (*row)(void* context, int32_t y, const uint8_t* rgb);  // what the decode calls
  void* context;
  int (*callerRow)(void* context, int32_t y, const uint8_t* pixels);
  void* callerContext;
  mca_layout layout;
  size_t width;
  uint8_t* converted;
};

int PutInLayout(void* context, int32_t y, const uint8_t* rgb) {
  LayoutSink& s = *static_cast<LayoutSink*>(context);
  const bool bgr = s.layout == MCA_LAYOUT_BGR || s.layout == MCA_LAYOUT_BGRA;
  const size_t step = PixelBytes(s.layout);
  uint8_t* out = s.converted;
  for (size_t x = 0; x < s.width; ++x, rgb += 3, out += step) {
    out[0] = bgr ? rgb[2] : rgb[0];
    out[1] = rgb[1];
    out[2] = bgr ? rgb[0] : rgb[2];
    if (step == 4) out[3] = 255;
  }
  return s.callerRow(s.callerContext, y, s.converted);
}

// False when the row's memory is not to be had.
bool OpenLayoutSink(LayoutSink* s, int (*row)(void*, int32_t, const uint8_t*), void* context, mca_layout layout,
                    int32_t width) {
  *s = LayoutSink{row, context, row, context, layout, size_t(width), nullptr};
  if (layout == MCA_LAYOUT_RGB) return true;
  s->converted = static_cast<uint8_t*>(std::malloc(width > 0 ? PixelBytes(layout) * size_t(width) : 1));
  s->row = PutInLayout;
  s->context = s;
  return s->converted != nullptr;
}

void CloseLayoutSink(LayoutSink* s) { std::free(s->converted); }

// The rows' bytes in a caller's buffer: `height` rows `stride` apart, the
// last ending after `rowBytes`; MCA_BUFFER_TOO_SMALL when the buffer is
// shorter or the figure does not fit 64 bits.
mca_status CheckBuffer(size_t stride, int32_t height, size_t rowBytes, size_t bufferSize, mca_problem* problem) {
  if (height <= 0) return MCA_OK;
  if (stride != 0 && uint64_t(height - 1) > (UINT64_MAX - rowBytes) / stride) {
    return Fail(problem, MCA_BUFFER_TOO_SMALL, -1, INT64_MAX, int64_t(bufferSize));
  }
  const uint64_t needed = uint64_t(stride) * uint64_t(height - 1) + rowBytes;
  if (needed > bufferSize) {
    return Fail(problem, MCA_BUFFER_TOO_SMALL, -1, needed > INT64_MAX ? INT64_MAX : int64_t(needed),
                int64_t(bufferSize));
  }
  return MCA_OK;
}

// Rows of a 4-byte layout into mca_decode's buffer; `next` is the first row
// not yet written.
struct BufferRows {
  uint8_t* buffer;
  size_t stride;
  size_t rowBytes;
  int32_t next;
};

int PutBufferRow(void* context, int32_t y, const uint8_t* pixels) {
  BufferRows& b = *static_cast<BufferRows*>(context);
  std::memcpy(b.buffer + size_t(y) * b.stride, pixels, b.rowBytes);
  b.next = y + 1;
  return 0;
}

}  // namespace

mca_status mca_decode(const uint8_t* data, size_t size, const mca_options* given, uint8_t* buffer, size_t stride,
                      size_t bufferSize, mca_problem* problem) {
  mca_options options;
  if (!ResolveOptions(given, &options)) return Fail(problem, MCA_BAD_ARGUMENT);
  return DecodeBuffer(McaSpan{data, size}, options, ThreadsFor(options), buffer, stride, bufferSize, problem);
}

mca_status DecodeBuffer(McaSpan container, const mca_options& options, const McaThreads& threads, uint8_t* buffer,
                        size_t stride, size_t bufferSize, mca_problem* problem) {
  mca_info info;
  mca_problem found;
  const mca_status status = ProbeWithin(container.data, container.size, options, true, &info, &found);
  // A file cut short still gives the frames before the broken one.
  if (status != MCA_OK && status != MCA_PAYLOAD_OUTSIDE) return Fail(problem, status, found.frame, found.value, found.limit);
  if (unsigned(options.layout) > unsigned(MCA_LAYOUT_BGRA)) return Fail(problem, MCA_BAD_ARGUMENT);
  const bool dib = options.layout == MCA_LAYOUT_DIB;
  const size_t rowBytes =
      dib ? size_t(McaRowStride(info.width)) : PixelBytes(options.layout) * size_t(info.width);
  if (stride < rowBytes || (info.height > 0 && !buffer)) return Fail(problem, MCA_BAD_ARGUMENT);
  const mca_status fits = CheckBuffer(stride, info.height, rowBytes, bufferSize, problem);
  if (fits != MCA_OK) return fits;
  if (PixelBytes(options.layout) == 4) {
    // Four bytes a pixel: the rows, turned into the layout, into the buffer;
    // rows a broken frame leaves unwritten are black.
    BufferRows rows = {buffer, stride, rowBytes, 0};
    LayoutSink layout;
    mca_status decoded = MCA_NO_MEMORY;
    if (OpenLayoutSink(&layout, PutBufferRow, &rows, options.layout, info.width)) {
      decoded = DecodeRows(container, threads, info, layout.row, layout.context, nullptr);
    }
    CloseLayoutSink(&layout);
    for (int32_t y = rows.next; y < info.height; ++y) {
      uint8_t* row = buffer + size_t(y) * stride;
      std::memset(row, 0, rowBytes);
      for (size_t x = 3; x < rowBytes; x += 4) row[x] = 255;
    }
    if (status != MCA_OK) return Fail(problem, status, found.frame, found.value, found.limit);
    return Fail(problem, decoded);
  }
  McaCanvas canvas = PictureCanvas(info, buffer, stride, rowBytes, options.layout);
  canvas.clear = !options.output_zeroed;
  const mca_status decoded = DecodeMcaCanvas(container, &canvas, &threads);
  if (status != MCA_OK) return Fail(problem, status, found.frame, found.value, found.limit);
  return Fail(problem, decoded);
}

mca_status mca_decode_rows(const uint8_t* data, size_t size, const mca_options* given, const mca_row_sink* sink,
                           mca_problem* problem) {
  if (!sink || !sink->row) return Fail(problem, MCA_BAD_ARGUMENT);
  mca_options options;
  if (!ResolveOptions(given, &options)) return Fail(problem, MCA_BAD_ARGUMENT);
  if (!IsRowLayout(options.layout)) return Fail(problem, MCA_BAD_ARGUMENT);
  mca_info info;
  const mca_status status = ProbeWithin(data, size, options, false, &info, problem);
  if (status != MCA_OK) return status;
  if (Begin(*sink, info.width, info.height) != 0) return Fail(problem, MCA_STOPPED);
  LayoutSink layout;
  if (!OpenLayoutSink(&layout, sink->row, sink->context, options.layout, info.width)) {
    CloseLayoutSink(&layout);
    return Fail(problem, MCA_NO_MEMORY);
  }
  const mca_status decoded = DecodeRows(McaSpan{data, size}, ThreadsFor(options), info, layout.row, layout.context, problem);
  CloseLayoutSink(&layout);
  return decoded;
}

namespace {

mca_status DecodeScaled(McaSpan container, const mca_options* given, int32_t width, int32_t height,
                        const mca_row_sink* sink, mca_problem* problem) {
  if (!sink || !sink->row) return Fail(problem, MCA_BAD_ARGUMENT);
  mca_options options;
  if (!ResolveOptions(given, &options)) return Fail(problem, MCA_BAD_ARGUMENT);
  if (!IsRowLayout(options.layout)) return Fail(problem, MCA_BAD_ARGUMENT);
  mca_info info;
  mca_status status = ProbeContainer(container, false, &info, problem);
  if (status != MCA_OK) return status;
  if (info.width <= 0 || info.height <= 0) return FailOnSize(problem, MCA_NO_PIXELS, info.width, info.height, 0, 0);
  if (width < 1 || height < 1 || width > info.width || height > info.height) {
    return Fail(problem, MCA_BAD_ARGUMENT);
  }
  status = CheckLimits(width, height, options, problem);
  if (status != MCA_OK) return status;
  if (Begin(*sink, width, height) != 0) return Fail(problem, MCA_STOPPED);
  LayoutSink layout;
  if (!OpenLayoutSink(&layout, sink->row, sink->context, options.layout, width)) {
    CloseLayoutSink(&layout);
    return Fail(problem, MCA_NO_MEMORY);
  }
  const McaThreads threads = ThreadsFor(options);
  if (width == info.width && height == info.height) {
    status = DecodeRows(container, threads, info, layout.row, layout.context, problem);
  } else {
    BoxScaler scaler;
    if (OpenBoxScaler(&scaler, uint64_t(info.width), uint64_t(info.height), uint32_t(width), uint32_t(height),
                      layout.row, layout.context)) {
      status = DecodeRows(container, threads, info, BoxScaleRow, &scaler, problem);
    } else {
      status = Fail(problem, MCA_NO_MEMORY);
    }
    CloseBoxScaler(&scaler);
  }
  CloseLayoutSink(&layout);
  return status;
}

}  // namespace

mca_status mca_decode_scaled(const uint8_t* data, size_t size, const mca_options* options, int32_t width,
                             int32_t height, const mca_row_sink* sink, mca_problem* problem) {
  return DecodeScaled(McaSpan{data, size}, options, width, height, sink, problem);
}

mca_status mca_decode_scaled_reader(const mca_reader* reader, const mca_options* options, int32_t width,
                                    int32_t height, const mca_row_sink* sink, mca_problem* problem) {
  if (!reader || !reader->read) return Fail(problem, MCA_BAD_ARGUMENT);
  return DecodeScaled(ReaderSpan(reader), options, width, height, sink, problem);
}

mca_status mca_decode_sized(const uint8_t* data, size_t size, const mca_options* given, int32_t width, int32_t height,
                            uint8_t* buffer, size_t stride, size_t bufferSize, mca_problem* problem) {
  mca_options options;
  if (!ResolveOptions(given, &options)) return Fail(problem, MCA_BAD_ARGUMENT);
  mca_info info;
  const mca_status status = ProbeContainer(McaSpan{data, size}, false, &info, problem);
  if (status != MCA_OK && status != MCA_PAYLOAD_OUTSIDE) return status;
  // The whole picture goes straight into the buffer, on every thread there is.
  if (width == info.width && height == info.height) {
    return mca_decode(data, size, &options, buffer, stride, bufferSize, problem);
  }
  if (status != MCA_OK) return status;
  if (!IsRowLayout(options.layout) || width < 1 || height < 1 || !buffer) return Fail(problem, MCA_BAD_ARGUMENT);
  const size_t rowBytes = PixelBytes(options.layout) * size_t(width);
  if (stride < rowBytes) return Fail(problem, MCA_BAD_ARGUMENT);
  const mca_status fits = CheckBuffer(stride, height, rowBytes, bufferSize, problem);
  if (fits != MCA_OK) return fits;
  BufferRows rows = {buffer, stride, rowBytes, 0};
  const mca_row_sink sink = {nullptr, PutBufferRow, &rows};
  return DecodeScaled(McaSpan{data, size}, &options, width, height, &sink, problem);
}

void mca_fit_size(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight, int32_t* fitWidth,
                  int32_t* fitHeight) {
  int64_t w = width > 0 ? width : 1, h = height > 0 ? height : 1;
  const int64_t mw = maxWidth > 0 ? maxWidth : 1, mh = maxHeight > 0 ? maxHeight : 1;
  if (w > mw || h > mh) {
    // The side that binds is the one with the smaller ratio; the other
    // follows, rounded, and never below 1.
    if (mw * h <= mh * w) {
      h = (h * mw + w / 2) / w;
      w = mw;
    } else {
      w = (w * mh + h / 2) / h;
      h = mh;
    }
  }
  *fitWidth = int32_t(w < 1 ? 1 : w);
  *fitHeight = int32_t(h < 1 ? 1 : h);
}

mca_status mca_buffer_size(int32_t width, int32_t height, mca_layout layout, size_t* stride, size_t* bytes,
                           mca_problem* problem) {
  if (width < 0 || height < 0 || unsigned(layout) > unsigned(MCA_LAYOUT_BGRA) || !stride || !bytes) {
    return Fail(problem, MCA_BAD_ARGUMENT);
  }
  const uint64_t row = layout == MCA_LAYOUT_DIB ? uint64_t(McaRowStride(width)) : PixelBytes(layout) * uint64_t(width);
  const uint64_t all = row * uint64_t(height);  // under 2^64: 4 x (2^31)^2
  if (all > SIZE_MAX) {
    return FailOnSize(problem, MCA_TOO_LARGE, width, height, all > INT64_MAX ? INT64_MAX : int64_t(all),
                      int64_t(SIZE_MAX > INT64_MAX ? INT64_MAX : SIZE_MAX));
  }
  *stride = size_t(row);
  *bytes = size_t(all);
  return Succeed(problem);
}
