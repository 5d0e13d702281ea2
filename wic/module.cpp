// The DLL's entry points for COM: the class objects of the decoder and the
// property handler, whether the DLL may be unloaded, and DllMain, which keeps
// our module handle.
#include "wic/module.h"

#include "wic/codec_ids.h"
#include "wic/live_objects.h"
#include "wic/mca_decoder.h"
#include "wic/mca_properties.h"

namespace {

HMODULE g_module = nullptr;

template <typename Object>
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // One static class object a class: its references do not keep the DLL loaded
  // (LockServer does), as COM expects of class objects.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Object* object = MakeObject<Object>();
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    ServerLock(lock);
    return S_OK;
  }
};

Factory<McaDecoder> g_decoders;
Factory<McaProperties> g_properties;

}  // namespace

HMODULE CodecModule() { return g_module; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid == CLSID_ZuvrekMcaDecoder) return g_decoders.QueryInterface(iid, out);
  if (clsid == CLSID_ZuvrekMcaProperties) return g_properties.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return NoLiveObjects() ? S_OK : S_FALSE; }
