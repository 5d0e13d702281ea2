#include "mca/encode_plan.h"

#include <cstring>

#include "mca/api_support.h"
#include "mca/byte_order.h"

mca_status PlanFromTemplate(const uint8_t* like, size_t size, int32_t width, int32_t height, EncodePlan* plan,
                            mca_problem* problem) {
  mca_info info;
  const mca_status probed = mca_probe(like, size, &info, problem);
  // A payload that is not all there is no matter: only the heads are kept.
  if (probed != MCA_OK && probed != MCA_PAYLOAD_OUTSIDE) return probed;
  McaHeader header;
  ParseMcaHeader(like, size, &header);
  plan->frames.Clear();
  for (int32_t i = 0; i < header.frameCount; ++i) {
    const uint32_t offset = LoadLe32(like + header.frameTableOffset + 4 * size_t(i));
    McaFrameHeader frame;
    ParseMcaFrameHeader(like + offset, offset, &frame);
    if (frame.width < 0 || frame.height < 0) return Fail(problem, MCA_UNFIT_TEMPLATE, i);
    if (!plan->frames.Push(EncodeFrame{frame.width, frame.height, like + offset, frame.compression})) {
      return Fail(problem, MCA_NO_MEMORY);
    }
  }
  if (info.width != width || info.height != height) {
    return FailOnSize(problem, MCA_SIZE_DIFFERS, width, height, info.width, info.height);
  }
  plan->width = width;
  plan->height = height;
  plan->indexed = header.pixelFormat == kMcaIndexedFormat;
  plan->fromTemplate = true;
  std::memcpy(plan->head, like, kMcaHeaderSize);
  plan->paletteCount = header.paletteCount;
  std::memcpy(plan->palette, like + kMcaHeaderSize, 4 * size_t(header.paletteCount));
  return Succeed(problem);
}

bool PlanBands(int32_t width, int32_t height, bool indexed, int32_t bandHeight, EncodePlan* plan) {
  plan->width = width;
  plan->height = height;
  plan->indexed = indexed;
  plan->fromTemplate = false;
  std::memset(plan->head, 0, sizeof plan->head);
  std::memcpy(plan->head, "MCA", 3);
  const uint32_t format = indexed ? uint32_t(kMcaIndexedFormat) : uint32_t(kMcaDepth);
  StoreLe32(plan->head + 20, format);
  plan->paletteCount = 0;
  if (bandHeight <= 0) {
    const int64_t rowBytes = McaFrameRowBytes(width, indexed ? kMcaIndexedFormat : kMcaDepth);
    bandHeight = int32_t(MCA_BAND_BYTES / rowBytes > 0 ? MCA_BAND_BYTES / rowBytes : 1);
  }
  plan->frames.Clear();
  for (int32_t y = 0; y < height; y += bandHeight) {
    const int32_t rows = height - y < bandHeight ? height - y : bandHeight;
    if (!plan->frames.Push(EncodeFrame{width, rows, nullptr, 1})) return false;
    if (height - y <= bandHeight) break;  // y + bandHeight may not fit
  }
  return true;
}
