#include "wic/mca_decoder.h"

#include <cstdlib>
#include <cstring>

#include "windows/decode_threads.h"
#include "wic/codec_ids.h"
#include "wic/mca_frame.h"
#include "wic/pixel_copy.h"
#include "wic/problems.h"
#include "wic/stream_reading.h"

namespace {

const mca_thread_api kThreads = WindowsDecodeThreads();

// Every decode here: top-down BGR rows (WIC's 24bppBGR) on the Windows threads.
mca_options BgrOptions() {
  mca_options options;
  mca_default_options(&options);
  options.layout = MCA_LAYOUT_BGR;
  options.thread_api = &kThreads;
  return options;
}

// Rows of a picture, scaled or not, into the caller's rectangle, BGR; the
// decode stops once the rectangle's last row is in.
struct ScaledRows {
  WICRect rect;
  UINT stride;
  BYTE* buffer;
};

int PutScaledRow(void* context, int32_t y, const uint8_t* bgr) {
  const ScaledRows& s = *static_cast<ScaledRows*>(context);
  if (y < s.rect.Y) return 0;
  BYTE* out = s.buffer + size_t{s.stride} * size_t(y - s.rect.Y);
  std::memcpy(out, bgr + size_t{3} * size_t(s.rect.X), size_t{3} * size_t(s.rect.Width));
  return y + 1 == s.rect.Y + s.rect.Height ? 1 : 0;
}


}  // namespace

McaDecoder::McaDecoder() { InitializeCriticalSection(&lock_); }

McaDecoder::~McaDecoder() {
  std::free(pixels_);
  std::free(data_);
  if (stream_) stream_->Release();
  DeleteCriticalSection(&lock_);
}

HRESULT McaDecoder::QueryCapability(IStream* stream, DWORD* capability) {
  if (!stream || !capability) return E_INVALIDARG;
  *capability = 0;
  bool has = false;
  HRESULT hr = StreamHasSignature(stream, &has);
  if (FAILED(hr)) return hr;
  if (has) *capability = WICBitmapDecoderCapabilityCanDecodeAllImages;
  return S_OK;
}

HRESULT McaDecoder::Initialize(IStream* stream, WICDecodeOptions) {
  if (!stream) return E_INVALIDARG;
  EnterCriticalSection(&lock_);
  HRESULT hr = WINCODEC_ERR_WRONGSTATE;
  if (!initialized_) {
    // The picture is the whole stream, wherever a caller (or WIC's pattern
    // matching) left its position: its heads are read now, its payloads when
    // pixels are asked for.
    mca_problem problem{};
    mca_info info{};
    HRESULT readError = S_OK;
    mca_status status = ProbeStream(stream, &streamLength_, &info, &problem, &readError);
    // No pixels, the limits and a picture its payloads cannot fill, checked
    // before any pixel is decoded: a client sizes its buffers from GetSize.
    if (status == MCA_OK) status = mca_check_picture(&info, info.width, info.height, nullptr, &problem);
    hr = Answer(status, problem, readError);
    if (SUCCEEDED(hr)) {
      stream->AddRef();
      stream_ = stream;
      info_ = info;
      initialized_ = true;
    }
  }
  LeaveCriticalSection(&lock_);
  return hr;
}

HRESULT McaDecoder::GetContainerFormat(GUID* format) {
  if (!format) return E_INVALIDARG;
  *format = GUID_ContainerFormatMca;
  return S_OK;
}

HRESULT McaDecoder::GetDecoderInfo(IWICBitmapDecoderInfo** info) {
  if (!info) return E_INVALIDARG;
  *info = nullptr;
  IWICImagingFactory* factory = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  IWICComponentInfo* component = nullptr;
  hr = factory->CreateComponentInfo(CLSID_ZuvrekMcaDecoder, &component);
  if (SUCCEEDED(hr)) {
    hr = component->QueryInterface(IID_IWICBitmapDecoderInfo, reinterpret_cast<void**>(info));
    component->Release();
  }
  factory->Release();
  return hr;
}

HRESULT McaDecoder::CopyPalette(IWICPalette*) { return WINCODEC_ERR_PALETTEUNAVAILABLE; }

HRESULT McaDecoder::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
  if (reader) *reader = nullptr;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT McaDecoder::GetPreview(IWICBitmapSource** preview) {
  if (preview) *preview = nullptr;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT McaDecoder::GetColorContexts(UINT, IWICColorContext**, UINT* actual) {
  if (actual) *actual = 0;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT McaDecoder::GetThumbnail(IWICBitmapSource** thumbnail) {
  if (thumbnail) *thumbnail = nullptr;
  return WINCODEC_ERR_CODECNOTHUMBNAIL;
}

HRESULT McaDecoder::GetFrameCount(UINT* count) {
  if (!count) return E_INVALIDARG;
  EnterCriticalSection(&lock_);
  bool ready = initialized_;
  LeaveCriticalSection(&lock_);
  if (!ready) return WINCODEC_ERR_NOTINITIALIZED;
  *count = 1;
  return S_OK;
}

HRESULT McaDecoder::GetFrame(UINT index, IWICBitmapFrameDecode** frame) {
  if (!frame) return E_INVALIDARG;
  *frame = nullptr;
  EnterCriticalSection(&lock_);
  bool ready = initialized_;
  LeaveCriticalSection(&lock_);
  if (!ready) return WINCODEC_ERR_NOTINITIALIZED;
  if (index != 0) return WINCODEC_ERR_FRAMEMISSING;
  McaFrame* made = MakeObject<McaFrame>(this);
  if (!made) return E_OUTOFMEMORY;
  *frame = made;
  return S_OK;
}

HRESULT McaDecoder::LoadData() {
  if (data_) return S_OK;
  LARGE_INTEGER start{};
  HRESULT hr = stream_->Seek(start, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(hr)) hr = ReadRestOfStream(stream_, &data_, &size_);
  return hr;
}

HRESULT McaDecoder::DecodeInto(uint8_t* buffer, size_t stride, size_t bytes, bool zeroed) {
  HRESULT hr = LoadData();
  if (FAILED(hr)) return hr;
  mca_options options = BgrOptions();
  options.output_zeroed = zeroed ? 1 : 0;
  mca_problem problem{};
  return Answer(mca_decode(data_, size_, &options, buffer, stride, bytes, &problem), problem);
}

HRESULT McaDecoder::DecodePart(const WICRect& asked, UINT stride, BYTE* buffer) {
  HRESULT hr = LoadData();
  if (FAILED(hr)) return hr;
  const mca_options options = BgrOptions();
  ScaledRows rows = {asked, stride, buffer};
  const mca_row_sink sink = {nullptr, PutScaledRow, &rows};
  mca_problem problem{};
  const mca_status status = mca_decode_rows(data_, size_, &options, &sink, &problem);
  return status == MCA_STOPPED ? S_OK : Answer(status, problem);
}

HRESULT McaDecoder::DecodeOnce() {
  if (decoded_ != S_FALSE) return decoded_;
  size_t stride = 0, bytes = 0;
  if (mca_buffer_size(INT(width()), INT(height()), MCA_LAYOUT_BGR, &stride, &bytes, nullptr) != MCA_OK) {
    return decoded_ = E_OUTOFMEMORY;
  }
  pixels_ = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (!pixels_) return decoded_ = E_OUTOFMEMORY;
  decoded_ = DecodeInto(pixels_, stride, bytes, true);
  if (FAILED(decoded_)) {
    std::free(pixels_);
    pixels_ = nullptr;
  }
  return decoded_;
}

HRESULT McaDecoder::CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) {
  WICRect asked;
  HRESULT hr = CheckCopyArguments(width(), height(), rect, stride, bufferSize, buffer, &asked);
  if (FAILED(hr) || asked.Width == 0 || asked.Height == 0) return hr;
  const bool whole = asked.Width == static_cast<INT>(width()) && asked.Height == static_cast<INT>(height());
  EnterCriticalSection(&lock_);
  if (whole && decoded_ == S_FALSE) {
    // The whole picture, as viewers ask for it, goes straight into the
    // caller's rows: no copy, and no pixels kept.
    hr = DecodeInto(buffer, stride, bufferSize, false);
    LeaveCriticalSection(&lock_);
    return hr;
  }
  if (decoded_ == S_FALSE && !copiedPart_) {
    // A first part streams the rows down to its last and keeps none: a
    // client that copies one rectangle does not pay for the whole picture.
    copiedPart_ = true;
    hr = DecodePart(asked, stride, buffer);
    LeaveCriticalSection(&lock_);
    return hr;
  }
  // Parts asked again and again, as WIC's scalers ask for bands: the whole
  // picture decoded once, kept.
  hr = DecodeOnce();
  LeaveCriticalSection(&lock_);
  if (SUCCEEDED(hr)) CopyRectangle(pixels_, size_t{3} * width(), asked, stride, buffer);
  return hr;
}

HRESULT McaDecoder::CopyScaledPixels(const WICRect* rect, UINT width, UINT height, UINT stride, UINT bufferSize,
                                     BYTE* buffer) {
  if (width == this->width() && height == this->height()) return CopyPixels(rect, stride, bufferSize, buffer);
  if (width < 1 || height < 1 || width > this->width() || height > this->height()) return E_INVALIDARG;
  WICRect asked;
  HRESULT hr = CheckCopyArguments(width, height, rect, stride, bufferSize, buffer, &asked);
  if (FAILED(hr) || asked.Width == 0 || asked.Height == 0) return hr;
  ScaledRows rows = {asked, stride, buffer};
  const mca_row_sink sink = {nullptr, PutScaledRow, &rows};
  const mca_options options = BgrOptions();
  mca_problem problem{};
  EnterCriticalSection(&lock_);
  mca_status status;
  StreamReader stream{stream_, streamLength_, S_OK};
  if (data_) {
    status = mca_decode_scaled(data_, size_, &options, INT(width), INT(height), &sink, &problem);
  } else {
    // A thumbnail reads the payloads a few KiB at a time as rows need them:
    // memory in proportion to the thumbnail, not to the file.
    const mca_reader reader = StreamReaderFor(&stream);
    status = mca_decode_scaled_reader(&reader, &options, INT(width), INT(height), &sink, &problem);
  }
  LeaveCriticalSection(&lock_);
  if (status == MCA_STOPPED) return S_OK;  // the rectangle ended before the picture
  return Answer(status, problem, stream.error);
}
