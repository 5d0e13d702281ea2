#include "wic/stream_reading.h"

#include <wincodec.h>

#include <cstdlib>
#include <cstring>

#include "mca/mca.h"

namespace {

HRESULT Position(IStream* stream, ULARGE_INTEGER* at) {
  LARGE_INTEGER zero{};
  return stream->Seek(zero, STREAM_SEEK_CUR, at);
}

HRESULT SeekTo(IStream* stream, ULARGE_INTEGER at) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(at.QuadPart);
  return stream->Seek(to, STREAM_SEEK_SET, nullptr);
}

}  // namespace

HRESULT StreamHasSignature(IStream* stream, bool* has) {
  if (!stream || !has) return E_INVALIDARG;
  *has = false;
  ULARGE_INTEGER start;
  HRESULT hr = Position(stream, &start);
  if (FAILED(hr)) return hr;
  uint8_t head[3] = {};
  ULONG got = 0;
  hr = stream->Read(head, sizeof head, &got);
  HRESULT back = SeekTo(stream, start);
  if (FAILED(hr)) return hr;
  if (FAILED(back)) return back;
  *has = mca_has_signature(head, got) != 0;
  return S_OK;
}

HRESULT ReadRestOfStream(IStream* stream, uint8_t** data, size_t* size) {
  if (!stream || !data || !size) return E_INVALIDARG;
  *data = nullptr;
  *size = 0;
  ULARGE_INTEGER start, end;
  HRESULT hr = Position(stream, &start);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER zero{};
  hr = stream->Seek(zero, STREAM_SEEK_END, &end);
  if (FAILED(hr)) return hr;
  hr = SeekTo(stream, start);
  if (FAILED(hr)) return hr;
  if (end.QuadPart < start.QuadPart) return WINCODEC_ERR_BADIMAGE;
  uint64_t length = end.QuadPart - start.QuadPart;
  if (length > kMaxStreamBytes) return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  uint8_t* bytes = static_cast<uint8_t*>(std::malloc(length ? static_cast<size_t>(length) : 1));
  if (!bytes) return E_OUTOFMEMORY;
  size_t have = 0;
  while (have < length) {
    ULONG want = static_cast<ULONG>(length - have > (1u << 24) ? (1u << 24) : length - have);
    ULONG got = 0;
    hr = stream->Read(bytes + have, want, &got);
    if (FAILED(hr)) {
      std::free(bytes);
      return hr;
    }
    have += got;
    if (got == 0) break;  // the stream ended before its stated end
  }
  *data = bytes;
  *size = have;
  return S_OK;
}
