#include "mca/mca_picture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "mca/byte_order.h"
#include "mca/mca_threads.h"

namespace {

bool StartThread(void (*run)(void*), void* argument, void** thread) {
  try {
    *thread = new std::thread(run, argument);
    return true;
  } catch (const std::exception&) {  // no thread, or no memory for one
    return false;
  }
}

void JoinThread(void* thread) {
  std::thread* t = static_cast<std::thread*>(thread);
  t->join();
  delete t;
}

McaStatus Fail(McaProblem* problem, McaStatus status, int32_t frame = -1, int64_t value = 0) {
  if (problem) *problem = McaProblem{status, frame, value};
  return status;
}

}  // namespace

McaStatus McaProbe(McaSpan data, McaPictureInfo* info, McaProblem* problem) {
  if (data.size < 3 || !IsMcaSignature(data.data)) return Fail(problem, kMcaNotMca);
  if (data.size < kMcaHeaderSize) return Fail(problem, kMcaHeadOutside);
  McaHeader header;
  if (!ReadMcaHeader(data, &header)) {
    // Tell apart what the head check found.
    const int32_t paletteCount = LoadLe32Signed(data.data + 24);
    if (paletteCount < 0 || paletteCount > kMcaMaxPaletteCount) {
      return Fail(problem, kMcaBadPaletteCount, -1, paletteCount);
    }
    if (kMcaHeaderSize + 4 * uint64_t(paletteCount) > data.size) return Fail(problem, kMcaPaletteOutside);
    return Fail(problem, kMcaTableOutside);
  }
  for (int32_t i = 0; i < header.frameCount; ++i) {
    McaFrameHeader frame;
    if (!ReadMcaFrameHeader(data, header, i, &frame)) return Fail(problem, kMcaFrameHeadOutside, i);
    if (frame.storedSize < 0 || uint64_t(frame.storedSize) > data.size - frame.payloadOffset) {
      return Fail(problem, kMcaPayloadOutside, i);
    }
  }
  McaGeometry geometry;
  GetMcaGeometry(data, &geometry);
  const uint64_t stride = uint64_t(McaRowStride(geometry.width));
  if (geometry.height < 0 || (geometry.height > 0 && stride > kMcaMaxPixelBytes / uint64_t(geometry.height))) {
    return Fail(problem, kMcaTooLarge, -1, geometry.height);
  }
  *info = McaPictureInfo{geometry.width, geometry.height, header.pixelFormat, header.paletteCount,
                         header.frameCount > 0 ? header.frameCount : 0};
  return kMcaOk;
}

McaFrameInfo McaGetFrame(McaSpan data, int32_t index) {
  McaHeader header;
  McaFrameHeader frame = {};
  if (ReadMcaHeader(data, &header) && index >= 0 && index < header.frameCount) {
    ReadMcaFrameHeader(data, header, index, &frame);
  }
  return McaFrameInfo{frame.width, frame.height, frame.storedSize, frame.expandedSize, frame.compression != 0};
}

McaStatus McaDecodeRgb(McaSpan data, const McaPictureInfo& info, uint8_t* rgb, size_t stride, McaProblem* problem,
                       const McaRowsFinal* rowsFinal, int32_t threads) {
  const size_t rowBytes = info.width > 0 ? 3 * size_t(info.width) : 0;
  if (info.height < 0 || stride < rowBytes) return Fail(problem, kMcaTooLarge, -1, info.height);
  for (int32_t y = 0; y < info.height; ++y) std::memset(rgb + size_t(y) * stride, 0, rowBytes);
  const uint64_t dibStride = uint64_t(McaRowStride(info.width));
  McaCanvas canvas = {rgb,      stride, info.height, 0, nullptr, dibStride * uint64_t(info.height) + 4, rowBytes, true,
                      rowsFinal ? rowsFinal->call : nullptr, rowsFinal ? rowsFinal->context : nullptr};
  const int32_t count = threads > 0 ? threads : std::max(1, int32_t(std::thread::hardware_concurrency()));
  const McaThreads pool{count, kMcaMinPixelBytesForThreads, kMcaBatchBytes, StartThread, JoinThread};
  if (!DecodeMcaCanvas(data, &canvas, &pool)) {
    // The probe found every payload inside the data, so only memory is left.
    return Fail(problem, kMcaNoMemory);
  }
  return kMcaOk;
}

void McaDescribeProblem(const McaProblem& p, char* text, size_t room) {
  if (room == 0) return;
  switch (p.status) {
    case kMcaOk: std::snprintf(text, room, "no problem"); break;
    case kMcaNotMca: std::snprintf(text, room, "not an MCA picture (it does not begin with \"MCA\")"); break;
    case kMcaHeadOutside: std::snprintf(text, room, "the file is shorter than the 48-byte head"); break;
    case kMcaBadPaletteCount:
      std::snprintf(text, room, "the palette count %lld is out of range (0 to 256)", static_cast<long long>(p.value));
      break;
    case kMcaPaletteOutside: std::snprintf(text, room, "the palette lies outside the file"); break;
    case kMcaTableOutside: std::snprintf(text, room, "the frame table lies outside the file"); break;
    case kMcaFrameHeadOutside: std::snprintf(text, room, "frame %d's head lies outside the file", int(p.frame) + 1); break;
    case kMcaPayloadOutside:
      std::snprintf(text, room, "frame %d's payload lies outside the file", int(p.frame) + 1);
      break;
    case kMcaTooLarge:
      if (p.value < 0) {
        std::snprintf(text, room, "the frames' heights add up to a negative height (%lld)", static_cast<long long>(p.value));
      } else {
        std::snprintf(text, room, "the picture is too large (over 2 GB of pixels)");
      }
      break;
    case kMcaNoMemory: std::snprintf(text, room, "out of memory"); break;
  }
}
