// The public probe: what a file holds, or what is wrong with it.
#include "mca/api_support.h"
#include "mca/byte_order.h"
#include "mca/mca_format.h"

int mca_has_signature(const uint8_t* data, size_t size) { return data && size >= 3 && IsMcaSignature(data); }

mca_status ProbeContainer(const uint8_t* data, size_t size, bool signature, mca_info* info, mca_problem* problem) {
  const McaSpan span{data, data ? size : 0};
  McaHeader header;
  if (!ReadMcaHeader(span, &header)) {
    if (signature && !mca_has_signature(data, size)) return Fail(problem, MCA_NOT_MCA);
    if (size < kMcaHeaderSize) return Fail(problem, MCA_HEAD_OUTSIDE);
    // Tell apart what the head check found.
    const int32_t paletteCount = LoadLe32Signed(data + 24);
    if (paletteCount < 0 || paletteCount > kMcaMaxPaletteCount) {
      return Fail(problem, MCA_BAD_PALETTE_COUNT, -1, paletteCount, kMcaMaxPaletteCount);
    }
    if (kMcaHeaderSize + 4 * uint64_t(paletteCount) > size) return Fail(problem, MCA_PALETTE_OUTSIDE);
    return Fail(problem, MCA_TABLE_OUTSIDE);
  }
  McaGeometry geometry;
  if (!GetMcaGeometry(span, &geometry)) {
    if (signature && !mca_has_signature(data, size)) return Fail(problem, MCA_NOT_MCA);
    for (int32_t i = 0; i < header.frameCount; ++i) {
      McaFrameHeader frame;
      if (!ReadMcaFrameHeader(span, header, i, &frame)) return Fail(problem, MCA_FRAME_HEAD_OUTSIDE, i);
    }
  }
  if (info) {
    *info = mca_info{geometry.width, geometry.height, header.pixelFormat == kMcaIndexedFormat ? 8 : 24,
                     header.paletteCount, header.frameCount > 0 ? header.frameCount : 0};
  }
  if (signature && !mca_has_signature(data, size)) return Fail(problem, MCA_NOT_MCA);
  // The size first: a picture whose payloads lie outside the data is still
  // known to be of a size a decoder can hold.
  if (geometry.height < 0) return Fail(problem, MCA_NEGATIVE_HEIGHT, -1, geometry.height);
  const uint64_t stride = uint64_t(McaRowStride(geometry.width));
  if (geometry.height > 0 && stride > kMcaMaxPixelBytes / uint64_t(geometry.height)) {
    return FailOnSize(problem, MCA_TOO_LARGE, geometry.width, geometry.height,
                      int64_t(stride * uint64_t(geometry.height)), int64_t(kMcaMaxPixelBytes));
  }
  for (int32_t i = 0; i < header.frameCount; ++i) {
    McaFrameHeader frame;
    ReadMcaFrameHeader(span, header, i, &frame);
    if (frame.storedSize < 0 || uint64_t(frame.storedSize) > size - frame.payloadOffset) {
      return Fail(problem, MCA_PAYLOAD_OUTSIDE, i);
    }
  }
  if (problem) *problem = mca_problem{MCA_OK, -1, 0, 0, 0, 0};
  return MCA_OK;
}

mca_status mca_probe(const uint8_t* data, size_t size, mca_info* info, mca_problem* problem) {
  return ProbeContainer(data, size, true, info, problem);
}

mca_status mca_probe_container(const uint8_t* data, size_t size, mca_info* info, mca_problem* problem) {
  return ProbeContainer(data, size, false, info, problem);
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
