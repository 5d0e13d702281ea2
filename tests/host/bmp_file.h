// Writes a device-independent bitmap to a .bmp file: a 14-byte file header,
// then the information block and the pixel block as a plug-in delivers them.
#pragma once

#include <cstddef>

bool WriteBmpFile(const wchar_t* path, const void* info, size_t infoBytes, const void* pixels, size_t pixelBytes);
