// The WIC bitmap decoder for MCA pictures. Initialize reads the heads alone
// and checks the picture against the decoder's default limits; the payloads
// are read when pixels are asked for (the whole stream at the first full-size
// request, a few KiB at a time for a scaled one). A request for the whole
// picture is decoded straight into the caller's buffer; the first request for
// a part decodes the picture once into pixels the decoder keeps for every
// later request of any frame object. The pixels are the 00IN plug-in's.
// Calls may come from any thread.
#pragma once

#include <wincodec.h>

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"
#include "wic/com_object.h"

class McaDecoder final : public ComObject<McaDecoder, IWICBitmapDecoder> {
 public:
  McaDecoder();
  static bool Implements(REFIID iid) { return iid == IID_IWICBitmapDecoder; }

  HRESULT STDMETHODCALLTYPE QueryCapability(IStream* stream, DWORD* capability) override;
  HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, WICDecodeOptions options) override;
  HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** info) override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
  HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override;
  HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override;
  HRESULT STDMETHODCALLTYPE GetColorContexts(UINT count, IWICColorContext** contexts, UINT* actual) override;
  HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override;
  HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override;

  // For the frame, after a successful Initialize.
  UINT width() const { return static_cast<UINT>(info_.width); }
  UINT height() const { return static_cast<UINT>(info_.height); }
  HRESULT CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer);
  // The picture scaled to width x height by the area average (each from 1 up
  // to the picture's own), the rectangle asked of that; memory in proportion
  // to the scaled picture.
  HRESULT CopyScaledPixels(const WICRect* rect, UINT width, UINT height, UINT stride, UINT bufferSize, BYTE* buffer);

 private:
  friend class ComObject<McaDecoder, IWICBitmapDecoder>;  // destroys it on the last Release
  ~McaDecoder();
  // With lock_ held.
  HRESULT LoadData();  // the stream's bytes, read once for full-size decodes
  HRESULT DecodeInto(uint8_t* buffer, size_t stride, size_t bytes, bool zeroed);
  HRESULT DecodeOnce();
  // The rows of `asked` alone, decoded from the top down to its last row.
  HRESULT DecodePart(const WICRect& asked, UINT stride, BYTE* buffer);

  CRITICAL_SECTION lock_;
  bool initialized_ = false;
  IStream* stream_ = nullptr;  // held from Initialize on
  uint64_t streamLength_ = 0;
  uint8_t* data_ = nullptr;    // the file, once a full-size decode has read it
  size_t size_ = 0;
  mca_info info_{};
  uint8_t* pixels_ = nullptr;  // top-down BGR rows, 3 x width bytes apart, once decoded
  HRESULT decoded_ = S_FALSE;  // S_FALSE: not yet tried
  bool copiedPart_ = false;    // a part was streamed: the next is served from the kept picture
};
