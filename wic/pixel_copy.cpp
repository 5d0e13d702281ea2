#include "wic/pixel_copy.h"

#include <cstring>

HRESULT CheckCopyArguments(UINT width, UINT height, const WICRect* rect, UINT stride, UINT bufferSize,
                           const BYTE* buffer, WICRect* asked) {
  const WICRect whole = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
  const WICRect& r = rect ? *rect : whole;
  // In 64 bits, so no sum of the caller's numbers can wrap.
  if (r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 || int64_t{r.X} + r.Width > int64_t{width} ||
      int64_t{r.Y} + r.Height > int64_t{height})
    return E_INVALIDARG;
  *asked = r;
  if (r.Width == 0 || r.Height == 0) return S_OK;
  if (!buffer) return E_INVALIDARG;
  const uint64_t rowBytes = uint64_t{3} * static_cast<uint64_t>(r.Width);
  if (stride < rowBytes) return E_INVALIDARG;
  if (uint64_t{stride} * static_cast<uint64_t>(r.Height - 1) + rowBytes > bufferSize)
    return WINCODEC_ERR_INSUFFICIENTBUFFER;
  return S_OK;
}

void CopyRectangle(const uint8_t* source, size_t sourceStride, const WICRect& rect, UINT stride, BYTE* buffer) {
  const size_t rowBytes = size_t{3} * static_cast<size_t>(rect.Width);
  for (INT y = 0; y < rect.Height; ++y) {
    std::memcpy(buffer + size_t{stride} * y, source + (size_t(rect.Y) + y) * sourceStride + size_t{3} * rect.X,
                rowBytes);
  }
}
