#include "tests/host/spi_plugin.h"

#include "tests/host/checked_call.h"

namespace {

uintptr_t Word(const void* p) { return reinterpret_cast<uintptr_t>(p); }
uintptr_t Word(intptr_t v) { return uintptr_t(v); }

template <int N>
SpiResult Call(const void* function, const uintptr_t (&args)[N]) {
  SpiCallCheck check{};
  SpiResult r;
  r.value = int32_t(SpiCallChecked(function, args, N, &check));
  r.stackDelta = check.stackDelta;
  r.clobbered = check.clobbered;
  return r;
}

SpiResult Missing() { return SpiResult{-1, 0, 0}; }

bool FindExports(SpiPlugin* p) {
  auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(p->module, name)); };
  p->getPluginInfo = find("GetPluginInfo");
  p->isSupported = find("IsSupported");
  p->getPictureInfo = find("GetPictureInfo");
  p->getPicture = find("GetPicture");
  p->getPreview = find("GetPreview");
  p->getPluginInfoW = find("GetPluginInfoW");
  p->isSupportedW = find("IsSupportedW");
  p->getPictureInfoW = find("GetPictureInfoW");
  p->getPictureW = find("GetPictureW");
  p->getPreviewW = find("GetPreviewW");
  if (p->getPluginInfo && p->isSupported && p->getPictureInfo && p->getPicture && p->getPreview) return true;
  UnloadSpiPlugin(p);
  return false;
}

}  // namespace

bool LoadSpiPlugin(const char* path, SpiPlugin* p) {
  p->module = LoadLibraryA(path);
  return p->module && FindExports(p);
}

bool LoadSpiPluginW(const wchar_t* path, SpiPlugin* p) {
  p->module = LoadLibraryW(path);
  return p->module && FindExports(p);
}

void UnloadSpiPlugin(SpiPlugin* p) {
  if (p->module) FreeLibrary(p->module);
  p->module = nullptr;
}

bool HasUnicodeEntryPoints(const SpiPlugin& p) {
  return p.getPluginInfoW && p.isSupportedW && p.getPictureInfoW && p.getPictureW && p.getPreviewW;
}

SpiResult SpiGetPluginInfo(const SpiPlugin& p, int32_t infono, char* buf, int32_t buflen) {
  return Call(p.getPluginInfo, {Word(intptr_t(infono)), Word(buf), Word(intptr_t(buflen))});
}

SpiResult SpiIsSupported(const SpiPlugin& p, const char* name, uintptr_t dw) {
  return Call(p.isSupported, {Word(name), dw});
}

SpiResult SpiGetPictureInfo(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, void* info) {
  return Call(p.getPictureInfo, {Word(buf), Word(len), uintptr_t(flag), Word(info)});
}

SpiResult SpiGetPicture(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, intptr_t data) {
  return Call(p.getPicture, {Word(buf), Word(len), uintptr_t(flag), Word(info), Word(pixels),
                             Word(reinterpret_cast<const void*>(progress)), Word(data)});
}

SpiResult SpiGetPreview(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, HLOCAL* info,
                        HLOCAL* pixels, SpiProgress progress, intptr_t data) {
  return Call(p.getPreview, {Word(buf), Word(len), uintptr_t(flag), Word(info), Word(pixels),
                             Word(reinterpret_cast<const void*>(progress)), Word(data)});
}

SpiResult SpiGetPluginInfoW(const SpiPlugin& p, int32_t infono, wchar_t* buf, int32_t buflen) {
  if (!p.getPluginInfoW) return Missing();
  return Call(p.getPluginInfoW, {Word(intptr_t(infono)), Word(buf), Word(intptr_t(buflen))});
}

SpiResult SpiIsSupportedW(const SpiPlugin& p, const wchar_t* name, uintptr_t dw) {
  if (!p.isSupportedW) return Missing();
  return Call(p.isSupportedW, {Word(name), dw});
}

SpiResult SpiGetPictureInfoW(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, void* info) {
  if (!p.getPictureInfoW) return Missing();
  return Call(p.getPictureInfoW, {Word(buf), Word(len), uintptr_t(flag), Word(info)});
}

SpiResult SpiGetPictureW(const SpiPlugin& p, const void* buf, intptr_t len, uint32_t flag, HLOCAL* info,
                         HLOCAL* pixels, SpiProgress progress, intptr_t data) {
  if (!p.getPictureW) return Missing();
  return Call(p.getPictureW, {Word(buf), Word(len), uintptr_t(flag), Word(info), Word(pixels),
                              Word(reinterpret_cast<const void*>(progress)), Word(data)});
}
