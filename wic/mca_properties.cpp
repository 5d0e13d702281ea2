#include "wic/mca_properties.h"

#include <cstring>
#include <cwchar>

#include "wic/image_property_keys.h"
#include "wic/problems.h"
#include "wic/stream_reading.h"

namespace {

const PROPERTYKEY* const kKeys[] = {&kImageHorizontalSize, &kImageVerticalSize, &kImageDimensions,
                                    &kImageBitDepth};

bool SameKey(const PROPERTYKEY& a, const PROPERTYKEY& b) { return a.fmtid == b.fmtid && a.pid == b.pid; }

void SetNumber(PROPVARIANT* value, ULONG number) {
  value->vt = VT_UI4;
  value->ulVal = number;
}

HRESULT SetText(PROPVARIANT* value, const wchar_t* text) {
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, text, bytes);
  value->vt = VT_LPWSTR;
  value->pwszVal = copy;
  return S_OK;
}

}  // namespace

McaProperties::McaProperties() { InitializeCriticalSection(&lock_); }

McaProperties::~McaProperties() { DeleteCriticalSection(&lock_); }

HRESULT McaProperties::QueryInterface(REFIID iid, void** out) {
  if (out && iid == IID_IInitializeWithStream) {
    *out = static_cast<IInitializeWithStream*>(this);
  } else if (out && iid == IID_IPropertyStoreCapabilities) {
    *out = static_cast<IPropertyStoreCapabilities*>(this);
  } else {
    return ComObject::QueryInterface(iid, out);
  }
  AddRef();
  return S_OK;
}

HRESULT McaProperties::Initialize(IStream* stream, DWORD mode) {
  if (!stream) return E_POINTER;
  if (mode & (STGM_WRITE | STGM_READWRITE)) return STG_E_ACCESSDENIED;
  EnterCriticalSection(&lock_);
  HRESULT hr = HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (!initialized_) {
    mca_info info{};
    mca_problem problem{};
    HRESULT readError = S_OK;
    uint64_t length = 0;
    const mca_status status = ProbeStream(stream, &length, &info, &problem, &readError);
    hr = Answer(status, problem, readError);
    if (SUCCEEDED(hr)) {
      width_ = UINT(info.width);
      height_ = UINT(info.height);
      initialized_ = true;
    }
  }
  LeaveCriticalSection(&lock_);
  return hr;
}

HRESULT McaProperties::GetCount(DWORD* count) {
  if (!count) return E_POINTER;
  EnterCriticalSection(&lock_);
  *count = initialized_ ? DWORD(sizeof kKeys / sizeof kKeys[0]) : 0;
  LeaveCriticalSection(&lock_);
  return S_OK;
}

HRESULT McaProperties::GetAt(DWORD index, PROPERTYKEY* key) {
  if (!key) return E_POINTER;
  DWORD count = 0;
  GetCount(&count);
  if (index >= count) return E_INVALIDARG;
  *key = *kKeys[index];
  return S_OK;
}

// Keys the store does not hold, and every key before Initialize, are empty.
HRESULT McaProperties::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
  if (!value) return E_POINTER;
  PropVariantInit(value);
  EnterCriticalSection(&lock_);
  const bool ready = initialized_;
  const UINT width = width_, height = height_;
  LeaveCriticalSection(&lock_);
  if (!ready) return S_OK;
  if (SameKey(key, kImageHorizontalSize)) SetNumber(value, width);
  if (SameKey(key, kImageVerticalSize)) SetNumber(value, height);
  if (SameKey(key, kImageBitDepth)) SetNumber(value, 24);  // every picture is delivered at 24 bits
  if (SameKey(key, kImageDimensions)) {
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%u x %u", width, height);
    return SetText(value, text);
  }
  return S_OK;
}

HRESULT McaProperties::SetValue(REFPROPERTYKEY, REFPROPVARIANT) { return STG_E_ACCESSDENIED; }

HRESULT McaProperties::Commit() { return STG_E_ACCESSDENIED; }

HRESULT McaProperties::IsPropertyWritable(REFPROPERTYKEY) { return S_FALSE; }
