// IWICBitmapSourceTransform as the Windows SDK's wincodec.h declares it
// (mingw-w64's headers lack it): a bitmap source that can hand out its pixels
// at another size, so that Explorer's thumbnails and WIC's scaler need not
// decode the whole picture at full size first.
#pragma once

#include <wincodec.h>

// {3B16811B-6A43-4EC9-B713-3D5A0C13B940}
extern const IID IID_IWICBitmapSourceTransform;

struct IWICBitmapSourceTransform : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format, WICBitmapTransformOptions transform,
                                               UINT stride, UINT bufferSize, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
