// Picture size and depth, before the picture itself is asked for.
#include <cstring>

#include "plugin/plugin_api.h"
#include "plugin/source_loading.h"

int32_t WINAPI GetPictureInfo(LPCSTR buf, LONG_PTR len, uint32_t flag, PictureInfo* lpInfo) {
  Source source;
  const int32_t loaded = LoadSource(buf, len, flag, &source);
  if (loaded != kResultOk) return loaded;
  McaGeometry geometry;
  const bool intact = GetMcaGeometry(source.bytes, &geometry);
  ReleaseSource(&source);
  if (!intact) return kResultDecodeError;
  PictureInfo info = {};
  info.width = geometry.width;
  info.height = geometry.height;
  info.xDensity = 1;
  info.yDensity = 1;
  info.colorDepth = int16_t(geometry.depth);
  std::memcpy(lpInfo, &info, sizeof info);
  return kResultOk;
}
