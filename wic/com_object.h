// What every COM object of the codec shares: a thread-safe reference count,
// QueryInterface over the interfaces the object names (Derived::Implements),
// and a place in the DLL's count of live objects. Objects live on the C
// runtime's heap, made and destroyed without the C++ library's operator new,
// which would bring its exception machinery into a DLL that must not throw.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <new>
#include <utility>

#include "wic/live_objects.h"

template <typename T, typename... Args>
T* MakeObject(Args&&... args) {
  void* memory = std::malloc(sizeof(T));
  return memory ? new (memory) T(std::forward<Args>(args)...) : nullptr;
}

template <typename Derived, typename Interface>
class ComObject : public Interface {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || Derived::Implements(iid)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
      Derived* object = static_cast<Derived*>(this);
      object->~Derived();
      std::free(object);
    }
    return static_cast<ULONG>(left);
  }

 protected:
  ComObject() { ObjectCreated(); }
  ~ComObject() { ObjectDestroyed(); }

 private:
  LONG references_ = 1;
};
