// A host's view of any "00IN" import plug-in: loaded by path, its exports
// found by name, and every call checked to leave the stack pointer where it
// was (the exports are stdcall: the callee removes its arguments).
#pragma once

#include <windows.h>

#include <cstdint>

#pragma pack(push, 1)
struct SpiPictureInfo {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t xDensity;
  uint16_t yDensity;
  int16_t colorDepth;
  uint32_t textInfo;
};
#pragma pack(pop)
static_assert(sizeof(SpiPictureInfo) == 26, "the interface's record is 26 bytes");

typedef int32_t(__stdcall* SpiProgress)(int32_t numerator, int32_t denominator, int32_t data);

struct SpiPlugin {
  HMODULE module;
  void* getPluginInfo;
  void* isSupported;
  void* getPictureInfo;
  void* getPicture;
  void* getPreview;
};

struct SpiResult {
  int32_t value;
  int32_t stackDelta;  // bytes the stack pointer moved across the call; 0 for stdcall
};

// False when the module does not load or lacks one of the five exports.
bool LoadSpiPlugin(const char* path, SpiPlugin* plugin);
void UnloadSpiPlugin(SpiPlugin* plugin);

SpiResult SpiGetPluginInfo(const SpiPlugin& p, int32_t infono, char* buf, int32_t buflen);
SpiResult SpiIsSupported(const SpiPlugin& p, const char* name, uint32_t dw);
SpiResult SpiGetPictureInfo(const SpiPlugin& p, const void* buf, int32_t len, uint32_t flag, void* info);
SpiResult SpiGetPicture(const SpiPlugin& p, const void* buf, int32_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, int32_t data);
SpiResult SpiGetPreview(const SpiPlugin& p, const void* buf, int32_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, int32_t data);
