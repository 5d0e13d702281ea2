// The public probe: what a file holds, or what is wrong with it.
#include "mca/api_support.h"
#include "mca/byte_order.h"
#include "mca/container.h"
#include "mca/payload_reach.h"

int mca_has_signature(const uint8_t* data, size_t size) { return data && size >= 3 && IsMcaSignature(data); }

namespace {

// Table entries read at a time.
constexpr int32_t kTableChunk = 256;

// Not an MCA picture: the value is the data's length, so that empty data
// can be told as such.
mca_status NotMca(mca_problem* problem, uint64_t size) {
  return Fail(problem, MCA_NOT_MCA, -1, size > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(size));
}

mca_status ProbeHeads(McaSpan source, bool signature, mca_info* info, mca_problem* problem) {
  const uint64_t size = source.size;
  uint8_t head[kMcaHeaderSize] = {};
  const size_t headBytes = size < kMcaHeaderSize ? size_t(size) : kMcaHeaderSize;
  if (headBytes > 0 && !ReadMcaBytes(source, 0, head, headBytes)) return Fail(problem, MCA_READ_FAILED);
  const bool notMca = signature && (headBytes < 3 || !IsMcaSignature(head));
  if (notMca && headBytes < kMcaHeaderSize) return NotMca(problem, size);
  if (headBytes < kMcaHeaderSize) return Fail(problem, MCA_HEAD_OUTSIDE);
  McaHeader header;
  const mca_status headStatus = ParseMcaHeader(head, size, &header);
  if (headStatus != MCA_OK) {
    if (notMca) return NotMca(problem, size);
    if (headStatus == MCA_BAD_PALETTE_COUNT) {
      return Fail(problem, headStatus, -1, LoadLe32Signed(head + 24), kMcaMaxPaletteCount);
    }
    return Fail(problem, headStatus);
  }
  int32_t width = 0;
  uint32_t height = 0;  // the sum wraps in 32 bits
  int32_t payloadOutside = -1;
  uint64_t reach = 0;  // each term is under 2^34: no frame count overflows it
  uint8_t table[4 * kTableChunk];
  for (int32_t i = 0; i < header.frameCount; ++i) {
    const int32_t inChunk = i % kTableChunk;
    if (inChunk == 0) {
      const int32_t entries = header.frameCount - i < kTableChunk ? header.frameCount - i : kTableChunk;
      if (!ReadMcaBytes(source, header.frameTableOffset + 4 * uint64_t(i), table, 4 * size_t(entries))) {
        return Fail(problem, MCA_READ_FAILED);
      }
    }
    const uint32_t offset = LoadLe32(table + 4 * inChunk);
    if (!FrameHeadInside(offset, size)) return notMca ? NotMca(problem, size) : Fail(problem, MCA_FRAME_HEAD_OUTSIDE, i);
    uint8_t bytes[kMcaFrameHeaderSize];
    if (!ReadMcaBytes(source, offset, bytes, sizeof bytes)) return Fail(problem, MCA_READ_FAILED);
    McaFrameHeader frame;
    ParseMcaFrameHeader(bytes, offset, &frame);
    if (frame.width > width) width = frame.width;
    height += uint32_t(frame.height);
    if (payloadOutside < 0 && (frame.storedSize < 0 || uint64_t(frame.storedSize) > size - frame.payloadOffset)) {
      payloadOutside = i;
    }
    // Decodes stop at the first payload outside the data: frames from there
    // on give nothing.
    if (payloadOutside < 0) reach += FrameReach(frame, header.pixelFormat);
  }
  const int32_t totalHeight = int32_t(height);
  if (info) {
    *info = mca_info{width, totalHeight, header.pixelFormat == kMcaIndexedFormat ? 8 : 24, header.paletteCount,
                     header.frameCount > 0 ? header.frameCount : 0, reach};
  }
  if (notMca) return NotMca(problem, size);
  // The size first: a picture whose payloads lie outside the data is still
  // known to be of a size a decoder can hold.
  if (totalHeight < 0) return Fail(problem, MCA_NEGATIVE_HEIGHT, -1, totalHeight);
  const uint64_t stride = uint64_t(McaRowStride(width));
  if (totalHeight > 0 && stride > kMcaMaxPixelBytes / uint64_t(totalHeight)) {
    return FailOnSize(problem, MCA_TOO_LARGE, width, totalHeight, int64_t(stride * uint64_t(totalHeight)),
                      int64_t(kMcaMaxPixelBytes));
  }
  if (payloadOutside >= 0) return Fail(problem, MCA_PAYLOAD_OUTSIDE, payloadOutside);
  return Succeed(problem);
}

}  // namespace

mca_status ProbeContainer(McaSpan container, bool signature, mca_info* info, mca_problem* problem) {
  if (!container.reader && !container.data) container.size = 0;
  return ProbeHeads(container, signature, info, problem);
}

McaSpan ReaderSpan(const mca_reader* reader) {
  // Frame offsets are 32-bit: a size_t holds every position the format can name.
  return McaSpan{nullptr, reader->size < SIZE_MAX ? size_t(reader->size) : SIZE_MAX, reader};
}

mca_status mca_probe_reader(const mca_reader* reader, mca_info* info, mca_problem* problem) {
  if (!reader || !reader->read) return Fail(problem, MCA_BAD_ARGUMENT);
  return ProbeContainer(ReaderSpan(reader), true, info, problem);
}

mca_status mca_probe(const uint8_t* data, size_t size, mca_info* info, mca_problem* problem) {
  return ProbeContainer(McaSpan{data, size}, true, info, problem);
}

mca_status mca_probe_container(const uint8_t* data, size_t size, mca_info* info, mca_problem* problem) {
  return ProbeContainer(McaSpan{data, size}, false, info, problem);
}

mca_status mca_get_frame(const uint8_t* data, size_t size, int32_t index, mca_frame_info* out) {
  const McaSpan span{data, data ? size : 0};
  McaHeader header;
  McaFrameHeader frame;
  if (!out || !ReadMcaHeader(span, &header) || index < 0 || index >= header.frameCount ||
      !ReadMcaFrameHeader(span, header, index, &frame)) {
    return MCA_BAD_ARGUMENT;
  }
  *out = mca_frame_info{frame.width, frame.height, frame.storedSize, frame.expandedSize, frame.compression != 0};
  return MCA_OK;
}

size_t mca_picture_bytes(const uint8_t* data, size_t size) {
  const McaSpan span{data, data ? size : 0};
  McaHeader header;
  if (!ReadMcaHeader(span, &header)) return 0;
  const int32_t frames = header.frameCount > 0 ? header.frameCount : 0;
  uint64_t end = header.frameTableOffset + 4 * uint64_t(frames);
  for (int32_t i = 0; i < frames; ++i) {
    McaFrameHeader frame;
    if (!ReadMcaFrameHeader(span, header, i, &frame)) return 0;
    const uint64_t payloadEnd = uint64_t(frame.payloadOffset) + uint64_t(frame.storedSize > 0 ? frame.storedSize : 0);
    if (payloadEnd > end) end = payloadEnd;
  }
  return size_t(end < size ? end : size);
}
