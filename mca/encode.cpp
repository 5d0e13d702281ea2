// mca_encode: the picture's colours counted where 8-bit frames may serve,
// then its frames coded a group at a time (one frame a thread) and written
// in order, the head, palette and table last.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "mca/api_support.h"
#include "mca/byte_order.h"
#include "mca/colour_palette.h"
#include "mca/descramble.h"
#include "mca/encode_plan.h"
#include "mca/lzss_coder.h"
#include "mca/mca_threads.h"

namespace {

// Frames coded at once, per thread: each thread has a second frame to go on
// with while a slow one finishes.
constexpr size_t kFramesPerThread = 2;

struct RowLayout {
  int32_t bytesPerPixel;
  bool blueFirst;
};

bool RowLayoutOf(mca_layout layout, RowLayout* out) {
  switch (layout) {
    case MCA_LAYOUT_RGB: *out = RowLayout{3, false}; return true;
    case MCA_LAYOUT_BGR: *out = RowLayout{3, true}; return true;
    case MCA_LAYOUT_RGBA: *out = RowLayout{4, false}; return true;
    case MCA_LAYOUT_BGRA: *out = RowLayout{4, true}; return true;
    default: return false;
  }
}

// One frame's work: its rows (after the coder's zeros) and its payload.
struct FrameWork {
  uint8_t* rows;     // kLzssCoderBefore zeros, then the rows, then kLzssCoderAfter zeros
  uint8_t* payload;  // LzssCodedBound(the most rows) bytes
  size_t index;      // the frame's place in the plan
  uint32_t rowBytes;
  uint32_t payloadBytes;
  bool compressed;
  bool failed;
};

struct Group {
  const EncodePlan* plan;
  LzssLevel level;
  FrameWork* work;
  size_t count;
  std::atomic<size_t> next{0};
};

// Codes (or, for a new container where coding gains nothing, stores) and
// scrambles one frame.
void CodeFrame(const EncodePlan& plan, LzssLevel level, FrameWork* w) {
  const uint8_t* rows = w->rows + kLzssCoderBefore;
  w->compressed = plan.fromTemplate ? plan.frames[w->index].compression != 0 : level != kLzssLiterals;
  uint32_t size = w->rowBytes;
  const uint8_t* plain = rows;
  if (w->compressed) {
    uint32_t coded;
    if (!CodeLzss(rows, w->rowBytes, level, w->payload, &coded)) {
      w->failed = true;
      return;
    }
    if (plan.fromTemplate || coded < w->rowBytes) {
      size = coded;
      plain = w->payload;
    } else {
      w->compressed = false;
    }
  }
  DescrambleMask mask;
  BuildDescrambleMask(int32_t(size), &mask);
  ApplyScrambleMask(mask, plain, w->payload, 0, size);
  w->payloadBytes = size;
}

void CodeFrames(void* argument) {
  Group& g = *static_cast<Group*>(argument);
  for (size_t i; (i = g.next.fetch_add(1)) < g.count;) CodeFrame(*g.plan, g.level, &g.work[i]);
}

class Encoder {
 public:
  Encoder(const mca_options& o, const mca_row_source& source, const mca_writer& writer, const RowLayout& layout)
      : options_(o), source_(source), writer_(writer), layout_(layout) {}
  ~Encoder() {
    for (FrameWork& w : work_) {
      std::free(w.rows);
      std::free(w.payload);
    }
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  mca_status Run(int32_t width, int32_t height, mca_problem* problem);

 private:
  bool Row(int32_t y) { return source_.row(source_.context, y, row_.Data()) == 0; }
  bool Write(uint64_t offset, const uint8_t* bytes, size_t size) {
    return size == 0 || writer_.write(writer_.context, offset, bytes, size) != 0;
  }
  mca_status CountColours(bool mayWiden, bool* indexed, mca_problem* problem);
  void PutRow(const EncodeFrame& frame, uint8_t* out) const;
  bool TakeWork(size_t slots, uint64_t mostRowBytes);
  mca_status WriteFrames(mca_problem* problem);

  const mca_options& options_;
  const mca_row_source& source_;
  const mca_writer& writer_;
  RowLayout layout_;
  PlainArray<uint8_t> row_;
  EncodePlan plan_;
  ColourPalette palette_;
  FrameWork work_[MCA_MAX_THREADS * kFramesPerThread] = {};
  PlainArray<uint32_t> offsets_;
};

mca_status Encoder::CountColours(bool mayWiden, bool* indexed, mca_problem* problem) {
  for (int32_t y = 0; y < plan_.height; ++y) {
    if (!Row(y)) return Fail(problem, MCA_STOPPED);
    if (!palette_.AddRow(row_.Data(), plan_.width, layout_.bytesPerPixel, layout_.blueFirst)) {
      if (!mayWiden) return Fail(problem, MCA_TOO_MANY_COLOURS, -1, palette_.Count() + 1, palette_.Count());
      *indexed = false;
      return MCA_OK;
    }
  }
  *indexed = true;
  return MCA_OK;
}

// The frame's part of the row at hand, as the frame holds it. A 24-bit
// frame narrower than the picture shows its row padding as the first bytes
// of the next pixel, so the padding takes those bytes of the picture; other
// padding is zero.
void Encoder::PutRow(const EncodeFrame& frame, uint8_t* out) const {
  const uint8_t* in = row_.Data();
  const int32_t step = layout_.bytesPerPixel;
  const int red = layout_.blueFirst ? 2 : 0, blue = layout_.blueFirst ? 0 : 2;
  const size_t rowBytes = size_t(McaFrameRowBytes(frame.width, plan_.indexed ? kMcaIndexedFormat : kMcaDepth));
  size_t n = 0;
  if (plan_.indexed) {
    for (int32_t x = 0; x < frame.width; ++x, in += step) {
      out[n++] = palette_.IndexOf(ColourPalette::ColourOf(in, layout_.blueFirst));
    }
  } else {
    const size_t shown = rowBytes < 3 * size_t(plan_.width) ? rowBytes : 3 * size_t(plan_.width);
    for (; n + 3 <= shown; n += 3, in += step) {
      out[n] = in[blue];
      out[n + 1] = in[1];
      out[n + 2] = in[red];
    }
    if (n < shown) out[n++] = in[blue];
    if (n < shown) out[n++] = in[1];
  }
  std::memset(out + n, 0, rowBytes - n);
}

bool Encoder::TakeWork(size_t slots, uint64_t mostRowBytes) {
  for (size_t k = 0; k < slots; ++k) {
    FrameWork& w = work_[k];
    w.rows = static_cast<uint8_t*>(std::malloc(kLzssCoderBefore + mostRowBytes + kLzssCoderAfter));
    w.payload = static_cast<uint8_t*>(std::malloc(LzssCodedBound(mostRowBytes) + 1));
    if (!w.rows || !w.payload) return false;
    std::memset(w.rows, 0, kLzssCoderBefore);
  }
  return true;
}

mca_status Encoder::WriteFrames(mca_problem* problem) {
  const int32_t pixelFormat = plan_.indexed ? kMcaIndexedFormat : kMcaDepth;
  const size_t frames = plan_.frames.Size();
  uint64_t most = 0;
  for (size_t i = 0; i < frames; ++i) {
    const EncodeFrame& f = plan_.frames[i];
    const uint64_t bytes = uint64_t(McaFrameRowBytes(f.width, pixelFormat)) * uint64_t(f.height);
    if (bytes > most) most = bytes;
  }
  // A frame's sizes are signed 32-bit fields, and its stream may be an
  // eighth longer than its rows.
  if (LzssCodedBound(most) > uint64_t(INT32_MAX)) {
    return FailOnSize(problem, MCA_TOO_LARGE, plan_.width, plan_.height, int64_t(LzssCodedBound(most)), INT32_MAX);
  }
  const McaThreads threads = ThreadsFor(options_);
  const uint64_t pixelBytes = 3 * uint64_t(plan_.width) * uint64_t(plan_.height);
  const size_t wanted = pixelBytes < threads.minPixelBytes ? 1 : size_t(threads.count);
  const size_t slots = wanted * kFramesPerThread < frames ? wanted * kFramesPerThread : frames;
  if (!TakeWork(slots, most)) return Fail(problem, MCA_NO_MEMORY);
  const LzssLevel level = LzssLevel(options_.level);
  const uint64_t tableOffset = kMcaHeaderSize + 4 * uint64_t(plan_.paletteCount);
  uint64_t at = tableOffset + 4 * uint64_t(frames);
  if (!offsets_.Resize(frames)) return Fail(problem, MCA_NO_MEMORY);
  int32_t y = 0;
  for (size_t first = 0; first < frames; first += slots) {
    const size_t count = frames - first < slots ? frames - first : slots;
    for (size_t k = 0; k < count; ++k) {
      FrameWork& w = work_[k];
      const EncodeFrame& f = plan_.frames[first + k];
      w.index = first + k;
      w.failed = false;
      const uint32_t rowBytes = uint32_t(McaFrameRowBytes(f.width, pixelFormat));
      w.rowBytes = rowBytes * uint32_t(f.height);
      for (int32_t r = 0; r < f.height; ++r, ++y) {
        if (!Row(y)) return Fail(problem, MCA_STOPPED);
        PutRow(f, w.rows + kLzssCoderBefore + size_t(r) * rowBytes);
      }
      // The coder reads a few bytes past the rows: zeros, never an older frame's.
      std::memset(w.rows + kLzssCoderBefore + w.rowBytes, 0, kLzssCoderAfter);
    }
    Group group;
    group.plan = &plan_;
    group.level = level;
    group.work = work_;
    group.count = count;
    RunOnThreads(threads, wanted < count ? wanted : count, CodeFrames, &group);
    for (size_t k = 0; k < count; ++k) {
      const FrameWork& w = work_[k];
      if (w.failed) return Fail(problem, MCA_NO_MEMORY);
      const EncodeFrame& f = plan_.frames[w.index];
      if (at > UINT32_MAX) return FailOnSize(problem, MCA_TOO_LARGE, plan_.width, plan_.height, int64_t(at), UINT32_MAX);
      uint8_t head[kMcaFrameHeaderSize] = {};
      if (f.head) std::memcpy(head, f.head, sizeof head);
      // A stored frame's expanded size is read by nothing: a template's stays.
      const bool keepExpanded = f.head && !w.compressed;
      StoreLe32(head, plan_.fromTemplate ? f.compression : w.compressed ? 1 : 0);
      StoreLe32(head + 12, uint32_t(f.width));
      StoreLe32(head + 16, uint32_t(f.height));
      StoreLe32(head + 20, w.payloadBytes);
      if (!keepExpanded) StoreLe32(head + 24, w.rowBytes);
      if (!Write(at, head, sizeof head) || !Write(at + sizeof head, w.payload, w.payloadBytes)) {
        return Fail(problem, MCA_WRITE_FAILED);
      }
      offsets_[w.index] = uint32_t(at);
      at += sizeof head + w.payloadBytes;
    }
  }
  PlainArray<uint8_t> front;
  if (!front.Resize(size_t(tableOffset) + 4 * frames)) return Fail(problem, MCA_NO_MEMORY);
  uint8_t* f = front.Data();
  std::memcpy(f, plan_.head, kMcaHeaderSize);
  StoreLe32(f + 24, uint32_t(plan_.paletteCount));
  StoreLe32(f + 32, uint32_t(frames));
  std::memcpy(f + kMcaHeaderSize, plan_.palette, 4 * size_t(plan_.paletteCount));
  for (size_t i = 0; i < frames; ++i) StoreLe32(f + tableOffset + 4 * i, offsets_[i]);
  if (!Write(0, f, front.Size())) return Fail(problem, MCA_WRITE_FAILED);
  return Succeed(problem);
}

mca_status Encoder::Run(int32_t width, int32_t height, mca_problem* problem) {
  if (!row_.Resize(size_t(width) * size_t(layout_.bytesPerPixel))) return Fail(problem, MCA_NO_MEMORY);
  plan_.width = width;
  plan_.height = height;
  const bool fromTemplate = options_.like != nullptr;
  if (fromTemplate) {
    const mca_status status = PlanFromTemplate(options_.like, options_.like_size, width, height, &plan_, problem);
    if (status != MCA_OK) return status;
  }
  const bool mayIndex = fromTemplate ? plan_.indexed : options_.depth != 24;
  bool indexed = false;
  if (mayIndex) {
    const mca_status status = CountColours(!fromTemplate && options_.depth == 0, &indexed, problem);
    if (status != MCA_OK) return status;
  }
  if (!fromTemplate && !PlanBands(width, height, indexed, options_.band_height, &plan_)) {
    return Fail(problem, MCA_NO_MEMORY);
  }
  if (indexed) palette_.Place(plan_.palette, &plan_.paletteCount);
  return WriteFrames(problem);
}

}  // namespace

mca_status mca_encode(int32_t width, int32_t height, const mca_options* options, const mca_row_source* source,
                      const mca_writer* writer, mca_problem* problem) {
  mca_options o;
  RowLayout layout;
  if (!ResolveOptions(options, &o) || !source || !source->row || !writer || !writer->write ||
      !RowLayoutOf(o.layout, &layout) || (o.depth != 0 && o.depth != 8 && o.depth != 24) || o.level < 0 ||
      o.level > MCA_MAX_LEVEL || o.band_height < 0 || (!o.like && o.like_size != 0) || width < 0 || height < 0) {
    return Fail(problem, MCA_BAD_ARGUMENT);
  }
  if (width == 0 || height == 0) return FailOnSize(problem, MCA_NO_PIXELS, width, height, 0, 0);
  const uint64_t pixelBytes = 3 * uint64_t(width) * uint64_t(height);
  if (pixelBytes > kMcaMaxPixelBytes) {
    return FailOnSize(problem, MCA_TOO_LARGE, width, height, int64_t(pixelBytes), int64_t(kMcaMaxPixelBytes));
  }
  const mca_status limits = CheckLimits(width, height, o, problem);
  if (limits != MCA_OK) return limits;
  Encoder encoder(o, *source, *writer, layout);
  return encoder.Run(width, height, problem);
}
