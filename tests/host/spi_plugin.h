// A host's view of any "00IN" import plug-in: loaded by path, its exports
// found by name, and every call checked to keep the calling convention (see
// checked_call.h). The same host serves 32-bit plug-ins (*.spi) in an i686
// build and 64-bit ones (*.sph), with their optional Unicode entry points, in
// an x86-64 build.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Packed at 26 bytes in the 32-bit interface; naturally aligned at 32 bytes,
// the handle at 24, in the 64-bit one.
#if defined(_WIN64)
typedef HLOCAL SpiInfoHandle;
#else
typedef uint32_t SpiInfoHandle;
#pragma pack(push, 1)
#endif
struct SpiPictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t xDensity;
  uint16_t yDensity;
  int16_t colorDepth;
  SpiInfoHandle textInfo;
};
#if defined(_WIN64)
static_assert(sizeof(SpiPictureInfo) == 32 && offsetof(SpiPictureInfo, textInfo) == 24,
              "the 64-bit interface's record is 32 bytes, its handle at 24");
#else
#pragma pack(pop)
static_assert(sizeof(SpiPictureInfo) == 26, "the interface's record is 26 bytes");
#endif

typedef int32_t(__stdcall* SpiProgress)(int32_t numerator, int32_t denominator, intptr_t data);

struct SpiPlugin {
  HMODULE module;
  void* getPluginInfo;
  void* isSupported;
  void* getPictureInfo;
  void* getPicture;
  void* getPreview;
  // The Unicode entry points, where the plug-in has them; else null.
  void* getPluginInfoW;
  void* isSupportedW;
  void* getPictureInfoW;
  void* getPictureW;
  void* getPreviewW;
};

struct SpiResult {
  int32_t value;
  intptr_t stackDelta;  // bytes the stack pointer moved across the call; 0 for a sound callee
  uint32_t clobbered;   // callee-saved registers the call changed (x86-64)
};

// The call kept the calling convention.
inline bool CleanCall(const SpiResult& r) { return r.stackDelta == 0 && r.clobbered == 0; }

// False when the module does not load or lacks one of the five exports.
bool LoadSpiPlugin(const char* path, SpiPlugin* plugin);
bool LoadSpiPluginW(const wchar_t* path, SpiPlugin* plugin);
void UnloadSpiPlugin(SpiPlugin* plugin);
bool HasUnicodeEntryPoints(const SpiPlugin& p);

SpiResult SpiGetPluginInfo(const SpiPlugin& p, int32_t infono, char* buf, int32_t buflen);
SpiResult SpiIsSupported(const SpiPlugin& p, const char* name, uintptr_t dw);
SpiResult SpiGetPictureInfo(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, void* info);
SpiResult SpiGetPicture(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, intptr_t data);
SpiResult SpiGetPreview(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, intptr_t data);

// The Unicode entry points: `buf` is a UTF-16 file name in file mode.
SpiResult SpiGetPluginInfoW(const SpiPlugin& p, int32_t infono, wchar_t* buf, int32_t buflen);
SpiResult SpiIsSupportedW(const SpiPlugin& p, const wchar_t* name, uintptr_t dw);
SpiResult SpiGetPictureInfoW(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, void* info);
SpiResult SpiGetPictureW(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, HLOCAL* info,
                         HLOCAL* pixels, SpiProgress progress, intptr_t data);
