// Explorer's property handler for MCA pictures: the picture's width, height,
// "W x H" and bit depth (24) from its heads alone, read-only.
#pragma once

#include <windows.h>
#include <propsys.h>

#include "wic/com_object.h"

class McaProperties final : public ComObject<McaProperties, IPropertyStore>,
                            public IInitializeWithStream,
                            public IPropertyStoreCapabilities {
 public:
  McaProperties();
  static bool Implements(REFIID iid) { return iid == IID_IPropertyStore; }

  // IUnknown for all three interfaces.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ComObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return ComObject::Release(); }

  // IInitializeWithStream: once, read-only.
  HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD mode) override;

  // IPropertyStore: the four keys; writing is refused.
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) override;
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override;
  HRESULT STDMETHODCALLTYPE Commit() override;

  // IPropertyStoreCapabilities: no key is writable.
  HRESULT STDMETHODCALLTYPE IsPropertyWritable(REFPROPERTYKEY key) override;

 private:
  friend class ComObject<McaProperties, IPropertyStore>;  // destroys it on the last Release
  ~McaProperties();

  CRITICAL_SECTION lock_;
  bool initialized_ = false;
  UINT width_ = 0;
  UINT height_ = 0;
};
