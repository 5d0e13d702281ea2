// CopyPixels' rules, as WIC states them for every bitmap source: a rectangle
// inside the picture (none: the whole picture), a stride that holds a row,
// a buffer that holds the rows. Rows go out top first, 24-bit BGR.
#pragma once

#include <wincodec.h>

#include <cstddef>
#include <cstdint>

// S_OK and the rectangle asked for (the whole picture for none) when the
// arguments hold it; else the HRESULT WIC gives.
HRESULT CheckCopyArguments(UINT width, UINT height, const WICRect* rect, UINT stride, UINT bufferSize,
                           const BYTE* buffer, WICRect* asked);

// Copies a checked rectangle out of a top-down BGR picture whose rows lie
// `sourceStride` bytes apart.
void CopyRectangle(const uint8_t* source, size_t sourceStride, const WICRect& rect, UINT stride, BYTE* buffer);
