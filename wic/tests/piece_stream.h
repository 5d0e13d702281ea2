// A test IStream over memory: short reads, a failure from a given offset, and
// a count of the bytes read.
#pragma once

#include <objidl.h>

#include <algorithm>
#include <cstring>

#include "tests/support/mca_builder.h"

// A stream over memory that answers Read a few bytes at a time, as network
// and compound-file streams may, and fails from a given offset on.
class PieceStream final : public IStream {
 public:
  PieceStream(const Bytes& bytes, ULONG piece, size_t failAt) : bytes_(bytes), piece_(piece), failAt_(failAt) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IStream && iid != IID_ISequentialStream) return E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* out, ULONG want, ULONG* got) override {
    if (at_ >= failAt_) return STG_E_READFAULT;
    const size_t n = std::min({size_t{want}, size_t{piece_}, bytes_.size() - at_, failAt_ - at_});
    std::memcpy(out, bytes_.data() + at_, n);
    at_ += n;
    bytesRead_ += n;
    if (got) *got = ULONG(n);
    return n < want ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* to) override {
    const LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? LONGLONG(at_) : LONGLONG(bytes_.size());
    if (base + move.QuadPart < 0) return STG_E_INVALIDFUNCTION;
    at_ = size_t(base + move.QuadPart);
    if (to) to->QuadPart = at_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

  size_t bytesRead() const { return bytesRead_; }

 private:
  const Bytes& bytes_;
  const ULONG piece_;
  const size_t failAt_;
  size_t at_ = 0;
  size_t bytesRead_ = 0;
};

