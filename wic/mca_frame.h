// The one frame of an MCA picture: its size, 24-bit BGR, 96 dpi, and the
// pixels through its decoder, which it keeps alive.
#pragma once

#include <wincodec.h>

class McaDecoder;

class McaFrame final : public IWICBitmapFrameDecode {
 public:
  explicit McaFrame(McaDecoder* decoder);
  McaFrame(const McaFrame&) = delete;
  McaFrame& operator=(const McaFrame&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override;
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override;

  HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
  HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) override;
  HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;

 private:
  template <typename T>
  friend void DestroyObject(T* object);
  ~McaFrame();
  LONG references_ = 1;
  McaDecoder* decoder_;
};
