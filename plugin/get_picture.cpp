// The whole picture as a bitmap information block and a 24-bit pixel block.
#include <cstring>

#include "plugin/decode_threads.h"
#include "plugin/picture_calls.h"

namespace {

constexpr size_t kInfoBlockSize = 1068;  // header, 256 colour-table entries, 4 more bytes

#pragma pack(push, 1)
struct BitmapInfoHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

void WriteInfoHeader(void* block, const McaGeometry& geometry, size_t pixelBytes) {
  BitmapInfoHeader header = {};
  header.size = sizeof header;
  header.width = geometry.width;
  header.height = geometry.height;
  header.planes = 1;
  header.bitCount = uint16_t(geometry.depth);
  // Hosts that copy sizeImage bytes of pixels would get none from a 0 here.
  header.sizeImage = uint32_t(pixelBytes);
  std::memcpy(block, &header, sizeof header);  // the colour table stays zero from ZEROINIT
}

// Releases both output blocks and leaves the host no handle to them.
void DropOutput(HLOCAL* pHBInfo, HLOCAL* pHBm) {
  if (*pHBInfo) LocalFree(*pHBInfo);
  if (*pHBm) LocalFree(*pHBm);
  *pHBInfo = nullptr;
  *pHBm = nullptr;
}

int32_t Deliver(const McaSpan& bytes, const McaGeometry& geometry, HLOCAL* pHBInfo, HLOCAL* pHBm,
                ProgressCallback callback, LONG_PTR data) {
  *pHBInfo = nullptr;
  *pHBm = nullptr;
  // Checked before any block is taken, in 64 bits so that nothing overflows.
  const uint64_t stride = uint64_t(McaRowStride(geometry.width));
  if (geometry.height < 0 || (geometry.height > 0 && stride > kMcaMaxPixelBytes / uint64_t(geometry.height))) {
    return kResultNoMemory;
  }
  const size_t pixelBytes = size_t(stride * uint64_t(geometry.height));

  // Fixed blocks: their handles are their addresses, so hosts that use the
  // handles as pointers without locking them still see the pixels, and a
  // 0-byte block still has an address.
  *pHBInfo = LocalAlloc(LPTR, kInfoBlockSize);
  if (*pHBInfo) *pHBm = LocalAlloc(LPTR, pixelBytes);
  if (!*pHBm) {
    DropOutput(pHBInfo, pHBm);
    return kResultNoMemory;
  }
  void* info = LocalLock(*pHBInfo);
  uint8_t* pixels = static_cast<uint8_t*>(LocalLock(*pHBm));
  WriteInfoHeader(info, geometry, pixelBytes);
  // Threads start only now that both blocks are taken, and end inside the decode.
  const McaThreads threads = PluginThreads();
  const int decoded = DecodeMcaFrames(bytes, pixels, callback, data, size_t(stride), geometry.height, &threads);
  LocalUnlock(*pHBInfo);
  LocalUnlock(*pHBm);
  if (!decoded) {
    DropOutput(pHBInfo, pHBm);
    return kResultDecodeError;
  }
  return kResultOk;
}

}  // namespace

int32_t DeliverPicture(int32_t loaded, Source* source, HLOCAL* pHBInfo, HLOCAL* pHBm, ProgressCallback callback,
                       LONG_PTR data) {
  if (loaded != kResultOk) return loaded;
  McaGeometry geometry;
  int32_t result = kResultDecodeError;  // a broken container leaves the handles untouched
  if (GetMcaGeometry(source->bytes, &geometry)) {
    result = Deliver(source->bytes, geometry, pHBInfo, pHBm, callback, data);
  }
  ReleaseSource(source);
  return result;
}

int32_t WINAPI GetPicture(LPCSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          ProgressCallback lpProgressCallback, LONG_PTR lData) {
  Source source;
  return DeliverPicture(LoadSource(buf, len, flag, &source), &source, pHBInfo, pHBm, lpProgressCallback, lData);
}
