#include "host/spi_plugin.h"

#include "host/stdcall_call.h"

namespace {

uint32_t Word(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }

template <int N>
SpiResult Call(const void* function, const uint32_t (&args)[N]) {
  SpiResult r;
  r.value = SpiCallChecked(function, args, N, &r.stackDelta);
  return r;
}

}  // namespace

bool LoadSpiPlugin(const char* path, SpiPlugin* p) {
  p->module = LoadLibraryA(path);
  if (!p->module) return false;
  auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(p->module, name)); };
  p->getPluginInfo = find("GetPluginInfo");
  p->isSupported = find("IsSupported");
  p->getPictureInfo = find("GetPictureInfo");
  p->getPicture = find("GetPicture");
  p->getPreview = find("GetPreview");
  if (p->getPluginInfo && p->isSupported && p->getPictureInfo && p->getPicture && p->getPreview) return true;
  UnloadSpiPlugin(p);
  return false;
}

void UnloadSpiPlugin(SpiPlugin* p) {
  if (p->module) FreeLibrary(p->module);
  p->module = nullptr;
}

SpiResult SpiGetPluginInfo(const SpiPlugin& p, int32_t infono, char* buf, int32_t buflen) {
  return Call(p.getPluginInfo, {uint32_t(infono), Word(buf), uint32_t(buflen)});
}

SpiResult SpiIsSupported(const SpiPlugin& p, const char* name, uint32_t dw) {
  return Call(p.isSupported, {Word(name), dw});
}

SpiResult SpiGetPictureInfo(const SpiPlugin& p, const void* buf, int32_t len, uint32_t flag, void* info) {
  return Call(p.getPictureInfo, {Word(buf), uint32_t(len), flag, Word(info)});
}

SpiResult SpiGetPicture(const SpiPlugin& p, const void* buf, int32_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, int32_t data) {
  return Call(p.getPicture, {Word(buf), uint32_t(len), flag, Word(info), Word(pixels),
                             Word(reinterpret_cast<const void*>(progress)), uint32_t(data)});
}

SpiResult SpiGetPreview(const SpiPlugin& p, const void* buf, int32_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, int32_t data) {
  return Call(p.getPreview, {Word(buf), uint32_t(len), flag, Word(info), Word(pixels),
                             Word(reinterpret_cast<const void*>(progress)), uint32_t(data)});
}
