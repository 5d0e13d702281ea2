// Picture size and depth, before the picture itself is asked for.
#include <cstring>

#include "plugin/picture_calls.h"

int32_t DescribePicture(int32_t loaded, Source* source, PictureInfo* lpInfo) {
  if (loaded != kResultOk) return loaded;
  mca_info geometry;
  const bool intact = ProbeGeometry(source->bytes, &geometry) != kProbeBroken;
  ReleaseSource(source);
  if (!intact) return kResultDecodeError;
  PictureInfo info;
  std::memset(&info, 0, sizeof info);  // the 64-bit record's padding too
  info.width = geometry.width;
  info.height = geometry.height;
  info.xDensity = 1;
  info.yDensity = 1;
  info.colorDepth = 24;  // every picture is delivered at 24 bits
  std::memcpy(lpInfo, &info, sizeof info);
  return kResultOk;
}

int32_t WINAPI GetPictureInfo(LPCSTR buf, LONG_PTR len, uint32_t flag, PictureInfo* lpInfo) {
  Source source;
  return DescribePicture(LoadSource(buf, len, flag, &source), &source, lpInfo);
}
