// CopyPixels' rules, as WIC states them for every bitmap source: a rectangle
// inside the picture (none: the whole picture), a stride that holds a row,
// a buffer that holds the rows. Rows go out top first, 24-bit BGR.
#pragma once

#include <wincodec.h>

#include <cstddef>
#include <cstdint>

// `dib` is the picture as the plug-in hands it over: a bottom-up 24-bit DIB,
// rows `dibStride` bytes apart.
HRESULT CopyFromBottomUpDib(const uint8_t* dib, size_t dibStride, UINT width, UINT height, const WICRect* rect,
                            UINT stride, UINT bufferSize, BYTE* buffer);
