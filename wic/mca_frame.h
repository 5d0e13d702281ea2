// The one frame of an MCA picture: its size, 24-bit BGR, 96 dpi, and the
// pixels through its decoder, which it keeps alive.
#pragma once

#include <wincodec.h>

#include "wic/com_object.h"
#include "wic/source_transform.h"

class McaDecoder;

class McaFrame final : public ComObject<McaFrame, IWICBitmapFrameDecode>, public IWICBitmapSourceTransform {
 public:
  explicit McaFrame(McaDecoder* decoder);
  static bool Implements(REFIID iid) { return iid == IID_IWICBitmapSource || iid == IID_IWICBitmapFrameDecode; }

  // IUnknown for both interfaces; the transform is reached by QueryInterface.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ComObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return ComObject::Release(); }

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override;
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override;

  HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
  HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) override;
  HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;

  // IWICBitmapSourceTransform: any smaller size, by the area average; 24-bit
  // BGR; no rotation or flip.
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                                       WICBitmapTransformOptions transform, UINT stride, UINT bufferSize,
                                       BYTE* buffer) override;
  HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) override;
  HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) override;
  HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) override;

 private:
  friend class ComObject<McaFrame, IWICBitmapFrameDecode>;  // destroys it on the last Release
  ~McaFrame();
  McaDecoder* decoder_;
};
