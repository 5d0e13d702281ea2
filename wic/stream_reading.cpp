#include "wic/stream_reading.h"

#include <wincodec.h>

#include <climits>
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

// Up to `want` bytes at `offset`, through as many reads as the stream needs;
// fewer only where the stream ends.
HRESULT ReadAt(IStream* stream, uint64_t offset, uint8_t* into, ULONG want, ULONG* got) {
  *got = 0;
  ULARGE_INTEGER at;
  at.QuadPart = offset;
  HRESULT hr = SeekTo(stream, at);
  while (SUCCEEDED(hr) && *got < want) {
    ULONG piece = 0;
    hr = stream->Read(into + *got, want - *got, &piece);
    if (SUCCEEDED(hr) && piece == 0) break;
    *got += piece;
  }
  return hr;
}

// The probe's reads go through a window of 4 KiB, so that neighbouring heads
// cost one stream read. A table of scattered frame heads may ask for a window
// per frame: the window stops loading past the stream's length and 1 MiB
// more, so that no file costs more reading than the decoder would.
struct ProbeWindow {
  IStream* stream;
  uint64_t budget;
  HRESULT error;
  uint64_t at;
  ULONG have;
  uint8_t bytes[4096];
};

int ReadThroughWindow(void* context, uint64_t offset, uint8_t* into, size_t size) {
  ProbeWindow& w = *static_cast<ProbeWindow*>(context);
  if (size > sizeof w.bytes) {  // the probe asks for at most 1 KiB at a time
    w.error = E_UNEXPECTED;
    return 0;
  }
  if (w.at == UINT64_MAX || offset < w.at || offset + size > w.at + w.have) {
    if (w.budget < sizeof w.bytes) {
      w.error = WINCODEC_ERR_BADIMAGE;
      return 0;
    }
    w.budget -= sizeof w.bytes;
    // A stream may fail past the bytes asked for: what it gave before counts.
    const HRESULT hr = ReadAt(w.stream, offset, w.bytes, sizeof w.bytes, &w.have);
    w.at = offset;
    if (w.have < size) {
      w.at = UINT64_MAX;
      w.error = FAILED(hr) ? hr : STG_E_READFAULT;  // shorter than the length the stream gave
      return 0;
    }
  }
  std::memcpy(into, w.bytes + (offset - w.at), size);
  return 1;
}

int ReadStreamPiece(void* context, uint64_t offset, uint8_t* into, size_t size) {
  StreamReader& r = *static_cast<StreamReader*>(context);
  ULONG got = 0;
  r.error = size > ULONG_MAX ? E_UNEXPECTED : ReadAt(r.stream, offset, into, ULONG(size), &got);
  if (SUCCEEDED(r.error) && got < size) r.error = STG_E_READFAULT;  // shorter than the length the stream gave
  return SUCCEEDED(r.error) ? 1 : 0;
}

}  // namespace

mca_status ProbeStream(IStream* stream, uint64_t* length, mca_info* info, mca_problem* problem, HRESULT* readError) {
  LARGE_INTEGER zero{};
  ULARGE_INTEGER end;
  *readError = stream->Seek(zero, STREAM_SEEK_END, &end);
  *length = SUCCEEDED(*readError) ? end.QuadPart : 0;
  if (FAILED(*readError)) {
    *problem = mca_problem{MCA_READ_FAILED, -1, 0, 0, 0, 0};
    return MCA_READ_FAILED;
  }
  ProbeWindow window{stream, *length + (uint64_t{1} << 20), S_OK, UINT64_MAX, 0, {}};
  const mca_reader reader{ReadThroughWindow, &window, *length};
  const mca_status status = mca_probe_reader(&reader, info, problem);
  if (status == MCA_READ_FAILED) *readError = window.error;
  return status;
}

mca_reader StreamReaderFor(StreamReader* state) { return mca_reader{ReadStreamPiece, state, state->length}; }

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
