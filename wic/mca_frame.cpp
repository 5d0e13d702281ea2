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
