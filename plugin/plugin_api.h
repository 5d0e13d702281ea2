// The "00IN" import plug-in interface as this plug-in exports it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"
#include "windows/platform.h"

#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_STDCALL __stdcall
#else
#define PLUGIN_STDCALL
#endif

// The host's progress callback: (numerator, denominator, host data word).
// A non-zero answer asks the plug-in to stop.
typedef int32_t(PLUGIN_STDCALL* ProgressCallback)(int32_t, int32_t, intptr_t);

constexpr int32_t kResultOk = 0;
constexpr int32_t kResultNoMemory = 4;     // the source or an output block is not to be had
constexpr int32_t kResultFileError = 6;    // the named file does not open
constexpr int32_t kResultDecodeError = 8;  // broken container, frame memory, or the host stopped it
constexpr int32_t kResultNotProvided = -1;

// flag & kInputModeMask: 0 means `buf` names a file, anything else that it
// holds the whole file image.
constexpr uint32_t kInputModeMask = 7;

// The host's record: packed in the 32-bit interface (26 bytes, a 32-bit
// handle slot at 22); naturally aligned in the 64-bit one (32 bytes, two
// padding bytes, an 8-byte handle slot at 24). The plug-in supplies no text.
#if defined(_WIN64)
typedef HLOCAL PictureInfoHandle;
#else
typedef uint32_t PictureInfoHandle;
#pragma pack(push, 1)
#endif
struct PictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t xDensity;
  uint16_t yDensity;
  int16_t colorDepth;
  PictureInfoHandle textInfo;
};
#if defined(_WIN64)
static_assert(sizeof(PictureInfo) == 32 && offsetof(PictureInfo, textInfo) == 24,
              "the 64-bit host's record is 32 bytes, its handle at 24");
#else
#pragma pack(pop)
static_assert(sizeof(PictureInfo) == 26, "the host's record is 26 bytes");
#endif

extern "C" {
int32_t WINAPI GetPluginInfo(int32_t infono, LPSTR buf, int32_t buflen);
int32_t WINAPI IsSupported(LPCSTR filename, DWORD_PTR dw);
int32_t WINAPI GetPictureInfo(LPCSTR buf, LONG_PTR len, uint32_t flag, PictureInfo* lpInfo);
int32_t WINAPI GetPicture(LPCSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          ProgressCallback lpProgressCallback, LONG_PTR lData);
int32_t WINAPI GetPreview(LPCSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          ProgressCallback lpProgressCallback, LONG_PTR lData);

#if defined(_WIN64)
// The 64-bit build's Unicode entry points: file names are UTF-16, strings are
// UTF-16 and counted in units; memory mode is the same as the ANSI calls'.
int32_t WINAPI GetPluginInfoW(int32_t infono, LPWSTR buf, int32_t buflen);
int32_t WINAPI IsSupportedW(LPCWSTR filename, DWORD_PTR dw);
int32_t WINAPI GetPictureInfoW(LPCWSTR buf, LONG_PTR len, uint32_t flag, PictureInfo* lpInfo);
int32_t WINAPI GetPictureW(LPCWSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                           ProgressCallback lpProgressCallback, LONG_PTR lData);
int32_t WINAPI GetPreviewW(LPCWSTR buf, LONG_PTR len, uint32_t flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                           ProgressCallback lpProgressCallback, LONG_PTR lData);
#endif
}
