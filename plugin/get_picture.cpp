// The whole picture as a bitmap information block and a 24-bit pixel block.
#include <cstring>

#include "plugin/dib_pixels.h"
#include "windows/decode_threads.h"
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

void WriteInfoHeader(void* block, const mca_info& geometry, size_t pixelBytes) {
  BitmapInfoHeader header = {};
  header.size = sizeof header;
  header.width = geometry.width;
  header.height = geometry.height;
  header.planes = 1;
  header.bitCount = 24;
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

int32_t Deliver(const SourceBytes& bytes, const mca_info& geometry, mca_status probed, HLOCAL* pHBInfo, HLOCAL* pHBm,
                ProgressCallback callback, LONG_PTR data) {
  *pHBInfo = nullptr;
  *pHBm = nullptr;
  // A height below 0, or more pixels than a block may hold, is refused
  // before any block is taken.
  if (probed == MCA_NEGATIVE_HEIGHT || probed == MCA_TOO_LARGE) return kResultNoMemory;
  // A picture its payloads cannot fill is damaged: it would cost its whole
  // block for nothing.
  if (!DibPictureFillable(geometry)) return kResultDecodeError;
  size_t stride = 0, pixelBytes = 0;
  if (mca_buffer_size(geometry.width, geometry.height, MCA_LAYOUT_DIB, &stride, &pixelBytes, nullptr) != MCA_OK) {
    return kResultNoMemory;
  }

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
  const mca_thread_api threads = WindowsDecodeThreads();
  // A payload outside the data fails the picture once its blocks are taken.
  const int decoded = probed != MCA_PAYLOAD_OUTSIDE &&
                      FillDibPixels(bytes.data, bytes.size, pixels, callback, data, stride, geometry.height, &threads);
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
  mca_info geometry;
  int32_t result = kResultDecodeError;  // a broken container leaves the handles untouched
  const mca_status probed = ProbeGeometry(source->bytes, &geometry);
  if (probed != kProbeBroken) {
    result = Deliver(source->bytes, geometry, probed, pHBInfo, pHBm, callback, data);
  }
  ReleaseSource(source);
  return result;
}

int32_t WINAPI GetPicture(LPCSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          ProgressCallback lpProgressCallback, LONG_PTR lData) {
  Source source;
  return DeliverPicture(LoadSource(buf, len, flag, &source), &source, pHBInfo, pHBm, lpProgressCallback, lData);
}
