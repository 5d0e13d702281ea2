#include "wic/mca_frame.h"

#include "wic/mca_decoder.h"

McaFrame::McaFrame(McaDecoder* decoder) : decoder_(decoder) { decoder_->AddRef(); }

McaFrame::~McaFrame() { decoder_->Release(); }

HRESULT McaFrame::GetSize(UINT* width, UINT* height) {
  if (!width || !height) return E_INVALIDARG;
  *width = decoder_->width();
  *height = decoder_->height();
  return S_OK;
}

HRESULT McaFrame::GetPixelFormat(WICPixelFormatGUID* format) {
  if (!format) return E_INVALIDARG;
  *format = GUID_WICPixelFormat24bppBGR;
  return S_OK;
}

// The format stores no resolution; 96 dpi is Windows' own default.
HRESULT McaFrame::GetResolution(double* dpiX, double* dpiY) {
  if (!dpiX || !dpiY) return E_INVALIDARG;
  *dpiX = 96.0;
  *dpiY = 96.0;
  return S_OK;
}

// 8-bit pictures come out through their palette as 24-bit pixels.
HRESULT McaFrame::CopyPalette(IWICPalette*) { return WINCODEC_ERR_PALETTEUNAVAILABLE; }

HRESULT McaFrame::CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) {
  return decoder_->CopyPixels(rect, stride, bufferSize, buffer);
}

HRESULT McaFrame::GetMetadataQueryReader(IWICMetadataQueryReader** reader) {
  if (reader) *reader = nullptr;
  return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT McaFrame::GetColorContexts(UINT, IWICColorContext**, UINT* actual) {
  if (!actual) return E_INVALIDARG;
  *actual = 0;
  return S_OK;
}

HRESULT McaFrame::GetThumbnail(IWICBitmapSource** thumbnail) {
  if (thumbnail) *thumbnail = nullptr;
  return WINCODEC_ERR_CODECNOTHUMBNAIL;
}

HRESULT McaFrame::QueryInterface(REFIID iid, void** out) {
  if (out && iid == IID_IWICBitmapSourceTransform) {
    *out = static_cast<IWICBitmapSourceTransform*>(this);
    AddRef();
    return S_OK;
  }
  return ComObject::QueryInterface(iid, out);
}

HRESULT McaFrame::CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                             WICBitmapTransformOptions transform, UINT stride, UINT bufferSize, BYTE* buffer) {
  if (format && *format != GUID_WICPixelFormat24bppBGR) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (transform != WICBitmapTransformRotate0) return WINCODEC_ERR_UNSUPPORTEDOPERATION;
  return decoder_->CopyScaledPixels(rect, width, height, stride, bufferSize, buffer);
}

// Any size from 1 up to the picture's own; larger ones are WIC's to scale up.
HRESULT McaFrame::GetClosestSize(UINT* width, UINT* height) {
  if (!width || !height) return E_INVALIDARG;
  *width = *width < 1 ? 1 : *width > decoder_->width() ? decoder_->width() : *width;
  *height = *height < 1 ? 1 : *height > decoder_->height() ? decoder_->height() : *height;
  return S_OK;
}

HRESULT McaFrame::GetClosestPixelFormat(WICPixelFormatGUID* format) { return GetPixelFormat(format); }

HRESULT McaFrame::DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) {
  if (!supported) return E_INVALIDARG;
  *supported = transform == WICBitmapTransformRotate0 ? TRUE : FALSE;
  return S_OK;
}
