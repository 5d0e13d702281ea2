// The picture calls once their source is loaded, shared by the ANSI and the
// Unicode entry points. Each answers `loaded` when it is not kResultOk, and
// otherwise releases the source before it returns.
#pragma once

#include "plugin/plugin_api.h"
#include "plugin/source_loading.h"

int32_t DescribePicture(int32_t loaded, Source* source, PictureInfo* lpInfo);
int32_t DeliverPicture(int32_t loaded, Source* source, HLOCAL* pHBInfo, HLOCAL* pHBm, ProgressCallback callback,
                       LONG_PTR data);
