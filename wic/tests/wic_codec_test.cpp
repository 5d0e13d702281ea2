// The WIC codec as programs reach it: registered by regsvr32 in a fresh
// prefix (wic_codec_test.sh), found and used by Wine's own imaging factory,
// and giving the 00IN plug-in's pixels, whole and by rectangle, by file name
// and from a stream over memory.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/area_average.h"
#include "tests/host/loaded_plugin.h"
#include "wic/tests/piece_stream.h"
#include "wic/source_transform.h"

namespace {

const CLSID kDecoder = {0xbbc46898, 0x7a0e, 0x435e, {0xbe, 0x31, 0x83, 0x80, 0xa5, 0x1e, 0x9f, 0x9d}};
const GUID kContainer = {0x5ad871ad, 0xf914, 0x43f1, {0xaf, 0x15, 0x7c, 0x31, 0xc5, 0xe4, 0xf9, 0x0a}};

IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* f = nullptr;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     reinterpret_cast<void**>(&f));
    return f;
  }();
  return factory;
}

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

struct Picture {
  UINT width = 0, height = 0;
  Bytes rows;  // top-down BGR, 3 x width a row
};

// The plug-in's DIB, turned top-down and without row padding.
Picture PluginPicture(const Bytes& image) {
  Picture p;
  HLOCAL info = nullptr, pixels = nullptr;
  SpiResult r = SpiGetPicture(Plugin(), image.data(), intptr_t(image.size()), 1, &info, &pixels, nullptr, 0);
  EXPECT_EQ(r.value, 0);
  if (r.value != 0) return p;
  const BITMAPINFOHEADER* head = static_cast<const BITMAPINFOHEADER*>(LocalLock(info));
  p.width = UINT(head->biWidth);
  p.height = UINT(head->biHeight);
  const uint8_t* dib = static_cast<const uint8_t*>(LocalLock(pixels));
  size_t stride = (3 * size_t{p.width} + 3) & ~size_t{3};
  for (UINT y = 0; y < p.height; ++y) {
    const uint8_t* row = dib + (p.height - 1 - y) * stride;
    p.rows.insert(p.rows.end(), row, row + 3 * size_t{p.width});
  }
  LocalFree(info);
  LocalFree(pixels);
  return p;
}

// The picture through WIC's factory, whole, checking what a viewer asks first.
Picture WicPicture(IWICBitmapDecoder* decoder) {
  Picture p;
  GUID format{};
  EXPECT_EQ(decoder->GetContainerFormat(&format), S_OK);
  EXPECT_EQ(format, kContainer);
  UINT frames = 0;
  EXPECT_EQ(decoder->GetFrameCount(&frames), S_OK);
  EXPECT_EQ(frames, 1u);
  Com<IWICBitmapFrameDecode> frame;
  EXPECT_EQ(decoder->GetFrame(0, &frame), S_OK);
  if (!frame.p) return p;
  EXPECT_EQ(frame->GetSize(&p.width, &p.height), S_OK);
  WICPixelFormatGUID pixelFormat{};
  EXPECT_EQ(frame->GetPixelFormat(&pixelFormat), S_OK);
  EXPECT_EQ(pixelFormat, GUID_WICPixelFormat24bppBGR);
  double dpiX = 0, dpiY = 0;
  EXPECT_EQ(frame->GetResolution(&dpiX, &dpiY), S_OK);
  EXPECT_EQ(dpiX, 96.0);
  EXPECT_EQ(dpiY, 96.0);
  p.rows.resize(3 * size_t{p.width} * p.height);
  EXPECT_EQ(frame->CopyPixels(nullptr, 3 * p.width, UINT(p.rows.size()), p.rows.data()), S_OK);
  return p;
}

void ExpectSame(const Picture& wic, const Picture& plugin) {
  EXPECT_EQ(wic.width, plugin.width);
  EXPECT_EQ(wic.height, plugin.height);
  EXPECT_TRUE(wic.rows == plugin.rows) << "pixels differ from the plug-in's";
}

Bytes Picture24(int32_t width, int32_t height, bool compressed, uint32_t seed) {
  TestContainer c;
  c.frames = {PictureFrame(width, height, 24, compressed, seed), RandomFrame(width - 3, 2, 24, false, seed + 1)};
  return BuildContainer(c);
}

Bytes Picture8(uint32_t seed) {
  TestContainer c;
  c.pixelFormat = 8;
  for (uint32_t i = 0; i < 200; ++i) c.palette.push_back(i * 0x00030507u ^ seed);
  c.frames = {PictureFrame(33, 17, 8, true, seed), RandomFrame(12, 4, 8, false, seed + 1)};
  return BuildContainer(c);
}

struct Named {
  const char* name;
  Bytes bytes;
};

std::vector<Named> Corpus() {
  return {{"compressed 24-bit", Picture24(64, 40, true, 1)},
          {"stored 24-bit, odd width", Picture24(37, 9, false, 2)},
          {"8-bit through the palette", Picture8(3)},
          {"one pixel", Picture24(4, 1, true, 4)},
          {"large, over threads", Picture24(1200, 900, true, 5)}};
}

TEST(WicCodec, IsEnumeratedWithItsExtensionAndMimeType) {
  ASSERT_NE(Factory(), nullptr);
  Com<IEnumUnknown> components;
  ASSERT_EQ(Factory()->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault, &components), S_OK);
  bool found = false;
  for (IUnknown* unknown = nullptr; components->Next(1, &unknown, nullptr) == S_OK; unknown->Release()) {
    Com<IWICBitmapDecoderInfo> info;
    if (FAILED(unknown->QueryInterface(IID_IWICBitmapDecoderInfo, reinterpret_cast<void**>(&info)))) continue;
    CLSID clsid{};
    info->GetCLSID(&clsid);
    if (clsid != kDecoder) continue;
    found = true;
    wchar_t text[64] = {};
    UINT length = 0;
    EXPECT_EQ(info->GetFileExtensions(64, text, &length), S_OK);
    EXPECT_STREQ(text, L".mca");
    EXPECT_EQ(info->GetMimeTypes(64, text, &length), S_OK);
    EXPECT_STREQ(text, L"image/x-mca");
    GUID container{};
    EXPECT_EQ(info->GetContainerFormat(&container), S_OK);
    EXPECT_EQ(container, kContainer);
  }
  EXPECT_TRUE(found) << "the factory does not list the MCA decoder";
}

TEST(WicCodec, DecodesByFileNameAndFromMemoryAsThePlugin) {
  for (const Named& picture : Corpus()) {
    SCOPED_TRACE(picture.name);
    const Picture expected = PluginPicture(picture.bytes);
    WorkFile file("wic_picture.mca", picture.bytes);
    std::wstring name(file.path(), file.path() + std::string(file.path()).size());
    Com<IWICBitmapDecoder> byName;
    ASSERT_EQ(Factory()->CreateDecoderFromFilename(name.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &byName),
              S_OK);
    ExpectSame(WicPicture(byName.p), expected);

    Com<IWICStream> memory;
    ASSERT_EQ(Factory()->CreateStream(&memory), S_OK);
    ASSERT_EQ(memory->InitializeFromMemory(const_cast<BYTE*>(picture.bytes.data()), DWORD(picture.bytes.size())),
              S_OK);
    Com<IWICBitmapDecoder> fromMemory;
    ASSERT_EQ(Factory()->CreateDecoderFromStream(memory.p, nullptr, WICDecodeMetadataCacheOnLoad, &fromMemory),
              S_OK);
    ExpectSame(WicPicture(fromMemory.p), expected);
  }
}

// A decoder of our class on the bytes, as WIC would make it.
HRESULT OurDecoder(const Bytes& bytes, IWICBitmapDecoder** decoder, IWICStream** stream) {
  Factory();  // COM, initialised
  HRESULT hr = CoCreateInstance(kDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_IWICBitmapDecoder,
                                reinterpret_cast<void**>(decoder));
  if (FAILED(hr)) return hr;
  Factory()->CreateStream(stream);
  (*stream)->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), DWORD(bytes.size()));
  return (*decoder)->Initialize(*stream, WICDecodeMetadataCacheOnDemand);
}

TEST(WicCodec, CopiesAnyRectangleAtAnyStrideAndRefusesBadArguments) {
  const Bytes bytes = Picture24(50, 30, true, 6);  // 50 x 32: a second frame of 2 rows
  const Picture whole = PluginPicture(bytes);
  Com<IWICBitmapDecoder> decoder;
  Com<IWICStream> stream;
  ASSERT_EQ(OurDecoder(bytes, &decoder, &stream), S_OK);
  Com<IWICBitmapFrameDecode> frame;
  ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);

  struct Case {
    WICRect rect;
    int stridePad;   // bytes beyond 3 x width (fewer, when negative)
    int bufferShort; // bytes fewer than the rows need
    bool nullBuffer;
    HRESULT expected;
  };
  const Case cases[] = {
      {{0, 0, 50, 30}, 0, 0, false, S_OK},
      {{7, 3, 11, 5}, 0, 0, false, S_OK},
      {{49, 29, 1, 1}, 5, 0, false, S_OK},
      {{10, 0, 40, 30}, 1, 0, false, S_OK},
      {{0, 20, 50, 10}, 64, 0, false, S_OK},
      {{3, 3, 0, 4}, 0, 0, false, S_OK},
      {{0, 0, 51, 30}, 0, 0, false, E_INVALIDARG},
      {{0, 3, 50, 30}, 0, 0, false, E_INVALIDARG},
      {{-1, 0, 5, 5}, 0, 0, false, E_INVALIDARG},
      {{0, 0, 5, -5}, 0, 0, false, E_INVALIDARG},
      {{0x7fffffff, 0, 2, 1}, 0, 0, false, E_INVALIDARG},
      {{0, 0, 5, 5}, 0, 0, true, E_INVALIDARG},
      {{0, 0, 5, 5}, 0, 1, false, WINCODEC_ERR_INSUFFICIENTBUFFER},
      {{0, 0, 5, 5}, 7, 8, false, WINCODEC_ERR_INSUFFICIENTBUFFER},
      {{0, 0, 5, 5}, -1, 0, false, E_INVALIDARG},   // a stride one byte short of a row
      {{0, 0, 5, 5}, -10, 0, false, E_INVALIDARG},  // a pixel a byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rect.X << "," << c.rect.Y << " " << c.rect.Width << "x" << c.rect.Height);
    UINT rowBytes = c.rect.Width > 0 ? 3 * UINT(c.rect.Width) : 0;
    UINT stride = UINT(int(rowBytes) + c.stridePad);
    size_t need = c.rect.Height > 0 && c.rect.Width > 0 ? size_t{stride} * (c.rect.Height - 1) + rowBytes : 0;
    Bytes out(need + 16, 0xA5);
    HRESULT hr = frame->CopyPixels(&c.rect, stride, UINT(need - c.bufferShort), c.nullBuffer ? nullptr : out.data());
    EXPECT_EQ(hr, c.expected);
    if (hr != S_OK) continue;
    for (INT y = 0; y < c.rect.Height; ++y) {
      const uint8_t* want = whole.rows.data() + (size_t(c.rect.Y + y) * whole.width + c.rect.X) * 3;
      ASSERT_TRUE(std::equal(want, want + rowBytes, out.data() + size_t{stride} * y)) << "row " << y;
      // Bytes between rows and after the last are the caller's.
      if (c.stridePad > 0 && y + 1 < c.rect.Height) {
        EXPECT_EQ(out[size_t{stride} * y + rowBytes], 0xA5);
      }
    }
    EXPECT_EQ(out[need], 0xA5);
  }
}

// Initialize reads the heads; the payloads are read when pixels are asked
// for, whole or scaled, so a stream failing in a payload fails the copies.
TEST(WicCodec, TakesShortReadsAndFailsWithAFailingStream) {
  const Bytes bytes = Picture24(40, 20, true, 9);
  const Picture whole = PluginPicture(bytes);
  const struct {
    ULONG piece;
    size_t failAt;
    HRESULT initialize, copy;
  } cases[] = {{7, SIZE_MAX, S_OK, S_OK},
               {1, SIZE_MAX, S_OK, S_OK},
               {4096, bytes.size() - 10, S_OK, STG_E_READFAULT},
               {4096, 47, STG_E_READFAULT, S_OK},
               {3, 0, STG_E_READFAULT, S_OK}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.piece << " bytes a read, failing at " << c.failAt);
    PieceStream stream(bytes, c.piece, c.failAt);
    Com<IWICBitmapDecoder> decoder;
    Factory();  // COM, initialised
    ASSERT_EQ(CoCreateInstance(kDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_IWICBitmapDecoder,
                               reinterpret_cast<void**>(&decoder)),
              S_OK);
    EXPECT_EQ(decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand), c.initialize);
    if (c.initialize != S_OK) continue;
    Com<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
    Com<IWICBitmapSourceTransform> transform;
    ASSERT_EQ(frame->QueryInterface(IID_IWICBitmapSourceTransform, reinterpret_cast<void**>(&transform)), S_OK);
    Bytes scaled(3 * 20 * 11), rows(3 * size_t{whole.width} * whole.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    EXPECT_EQ(transform->CopyPixels(nullptr, 20, 11, &format, WICBitmapTransformRotate0, 3 * 20, UINT(scaled.size()),
                                    scaled.data()),
              c.copy);
    EXPECT_EQ(frame->CopyPixels(nullptr, 3 * whole.width, UINT(rows.size()), rows.data()), c.copy);
    if (c.copy == S_OK) {
      EXPECT_TRUE(rows == whole.rows);
    }
  }
}

// The frame's IWICBitmapSourceTransform: any smaller size by the area
// average (within one of the reference average of the plug-in's pixels), any
// rectangle of it, 24-bit BGR only, no rotation or flip.
TEST(WicCodec, ScaledCopiesThroughTheSourceTransform) {
  const Bytes bytes = Picture24(90, 60, true, 12);  // 90 x 62
  const Picture whole = PluginPicture(bytes);
  Com<IWICBitmapDecoder> decoder;
  Com<IWICStream> stream;
  ASSERT_EQ(OurDecoder(bytes, &decoder, &stream), S_OK);
  Com<IWICBitmapFrameDecode> frame;
  ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
  Com<IWICBitmapSourceTransform> transform;
  ASSERT_EQ(frame->QueryInterface(IID_IWICBitmapSourceTransform, reinterpret_cast<void**>(&transform)), S_OK);

  // Each side from 1 up to the picture's own (90 x 62), on its own: never the
  // other side's bound.
  for (const auto& [asked, closest] : {std::pair<std::pair<UINT, UINT>, std::pair<UINT, UINT>>{{256, 0}, {90, 1}},
                                       {{0, 256}, {1, 62}},
                                       {{89, 61}, {89, 61}},
                                       {{91, 63}, {90, 62}},
                                       {{62, 90}, {62, 62}},
                                       {{90, 62}, {90, 62}}}) {
    UINT width = asked.first, height = asked.second;
    EXPECT_EQ(transform->GetClosestSize(&width, &height), S_OK);
    EXPECT_EQ(std::make_pair(width, height), closest) << asked.first << " x " << asked.second;
  }
  ASSERT_EQ(whole.width, 90u);
  ASSERT_EQ(whole.height, 62u);
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  EXPECT_EQ(transform->GetClosestPixelFormat(&format), S_OK);
  EXPECT_EQ(format, GUID_WICPixelFormat24bppBGR);
  for (const auto& [options, expected] : {std::pair{WICBitmapTransformRotate0, TRUE},
                                          std::pair{WICBitmapTransformRotate90, FALSE},
                                          std::pair{WICBitmapTransformFlipHorizontal, FALSE}}) {
    BOOL supported = !expected;
    EXPECT_EQ(transform->DoesSupportTransform(options, &supported), S_OK);
    EXPECT_EQ(supported, expected) << options;
  }

  const std::vector<uint8_t> average = AreaAverage(whole.rows, INT(whole.width), INT(whole.height), 30, 20);
  const struct {
    WICRect rect;
    UINT width, height;
    WICPixelFormatGUID format;
    WICBitmapTransformOptions options;
    HRESULT expected;
  } cases[] = {
      {{0, 0, 30, 20}, 30, 20, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate0, S_OK},
      {{4, 7, 11, 9}, 30, 20, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate0, S_OK},
      {{0, 0, 30, 20}, 30, 20, GUID_WICPixelFormat32bppBGRA, WICBitmapTransformRotate0,
       WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT},
      {{0, 0, 30, 20}, 30, 20, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate90,
       WINCODEC_ERR_UNSUPPORTEDOPERATION},
      {{0, 0, 31, 20}, 30, 20, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate0, E_INVALIDARG},
      {{0, 0, 30, 21}, 30, 20, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate0, E_INVALIDARG},
      {{0, 0, 91, 20}, 91, 20, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate0, E_INVALIDARG},
      {{0, 0, 20, 63}, 20, 63, GUID_WICPixelFormat24bppBGR, WICBitmapTransformRotate0, E_INVALIDARG},
  };
  for (auto c : cases) {
    SCOPED_TRACE(testing::Message() << c.rect.X << "," << c.rect.Y << " " << c.rect.Width << "x" << c.rect.Height
                                    << " of " << c.width << "x" << c.height);
    const UINT stride = 3 * UINT(c.rect.Width) + 2;
    Bytes out(size_t{stride} * UINT(c.rect.Height), 0xA5);
    const HRESULT hr = transform->CopyPixels(&c.rect, c.width, c.height, &c.format, c.options, stride,
                                             UINT(out.size()), out.data());
    EXPECT_EQ(hr, c.expected);
    if (hr != S_OK) continue;
    Bytes got, want;
    for (INT y = 0; y < c.rect.Height; ++y) {
      got.insert(got.end(), out.begin() + ptrdiff_t(size_t{stride} * UINT(y)),
                 out.begin() + ptrdiff_t(size_t{stride} * UINT(y) + 3 * UINT(c.rect.Width)));
      const auto row = average.begin() + ptrdiff_t((size_t(c.rect.Y + y) * 30 + size_t(c.rect.X)) * 3);
      want.insert(want.end(), row, row + 3 * c.rect.Width);
      EXPECT_EQ(out[size_t{stride} * UINT(y) + 3 * UINT(c.rect.Width)], 0xA5) << "row " << y << "'s padding";
    }
    EXPECT_TRUE(WithinOne(got, want));
  }
  // The picture's own size is the plain copy.
  Bytes full(3 * size_t{whole.width} * whole.height);
  format = GUID_WICPixelFormat24bppBGR;
  EXPECT_EQ(transform->CopyPixels(nullptr, whole.width, whole.height, &format, WICBitmapTransformRotate0,
                                  3 * whole.width, UINT(full.size()), full.data()),
            S_OK);
  EXPECT_TRUE(full == whole.rows);
  // Once the whole picture is read, scaled copies come from memory: the same rows.
  WICRect all = {0, 0, 30, 20};
  Bytes again(3 * 30 * 20);
  EXPECT_EQ(transform->CopyPixels(&all, 30, 20, &format, WICBitmapTransformRotate0, 3 * 30, UINT(again.size()),
                                  again.data()),
            S_OK);
  EXPECT_TRUE(WithinOne(again, average));
}

TEST(WicCodec, BrokenAndOversizedFilesFailWithAnHresult) {
  const Bytes good = Picture24(20, 10, true, 7);
  TestContainer empty;
  TestFrame none = FrameHead(0, 0);
  empty.frames = {none};
  Bytes notMca = good;
  notMca[0] = 'X';
  struct Case {
    const char* name;
    Bytes bytes;
    HRESULT expected;
  } cases[] = {
      {"cut in the head", Bytes(good.begin(), good.begin() + 20), WINCODEC_ERR_BADIMAGE},
      {"cut in a payload", Bytes(good.begin(), good.end() - 9), WINCODEC_ERR_BADIMAGE},
      {"no signature", notMca, WINCODEC_ERR_BADIMAGE},
      {"no pixels", BuildContainer(empty), WINCODEC_ERR_BADIMAGE},
      {"over the pixel limit (16000 x 20000 in a few bytes)", SparseContainer(16000, 100, 200),
       WINCODEC_ERR_IMAGESIZEOUTOFRANGE},
      {"a side over the limit", SparseContainer(40000, 1, 1), WINCODEC_ERR_IMAGESIZEOUTOFRANGE},
      {"a payload of 1 byte for 16384 x 16384", SparseContainer(16384, 16384, 1), WINCODEC_ERR_BADIMAGE},
      {"two bytes", Bytes{'M', 'C'}, WINCODEC_ERR_BADIMAGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Com<IWICBitmapDecoder> decoder;
    Com<IWICStream> stream;
    EXPECT_EQ(OurDecoder(c.bytes, &decoder, &stream), c.expected);
    UINT frames = 0;
    EXPECT_EQ(decoder->GetFrameCount(&frames), WINCODEC_ERR_NOTINITIALIZED);
  }
  // The factory tries no decoder of ours on a file without the signature.
  Com<IWICStream> stream;
  Factory()->CreateStream(&stream);
  stream->InitializeFromMemory(notMca.data(), DWORD(notMca.size()));
  Com<IWICBitmapDecoder> decoder;
  EXPECT_EQ(Factory()->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
            WINCODEC_ERR_COMPONENTNOTFOUND);
}

TEST(WicCodec, AnswersAsWicDefinesForWhatAnMcaPictureHasNot) {
  const Bytes bytes = Picture24(8, 8, false, 8);
  Com<IWICBitmapDecoder> decoder;
  Com<IWICStream> stream;
  ASSERT_EQ(OurDecoder(bytes, &decoder, &stream), S_OK);
  DWORD capability = 0;
  ASSERT_EQ(stream->Seek({}, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(decoder->QueryCapability(stream.p, &capability), S_OK);
  EXPECT_EQ(capability, DWORD(WICBitmapDecoderCapabilityCanDecodeAllImages));
  ULARGE_INTEGER at{};
  stream->Seek({}, STREAM_SEEK_CUR, &at);
  EXPECT_EQ(at.QuadPart, 0u) << "QueryCapability moved the stream";
  EXPECT_EQ(decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand), WINCODEC_ERR_WRONGSTATE);

  Com<IWICBitmapSource> source;
  Com<IWICMetadataQueryReader> reader;
  Com<IWICPalette> palette;
  Factory()->CreatePalette(&palette);
  UINT count = 7;
  EXPECT_EQ(decoder->GetThumbnail(&source), WINCODEC_ERR_CODECNOTHUMBNAIL);
  EXPECT_EQ(decoder->GetPreview(&source), WINCODEC_ERR_UNSUPPORTEDOPERATION);
  EXPECT_EQ(decoder->GetMetadataQueryReader(&reader), WINCODEC_ERR_UNSUPPORTEDOPERATION);
  EXPECT_EQ(decoder->CopyPalette(palette.p), WINCODEC_ERR_PALETTEUNAVAILABLE);
  Com<IWICBitmapFrameDecode> missing;
  EXPECT_EQ(decoder->GetFrame(1, &missing), WINCODEC_ERR_FRAMEMISSING);
  Com<IWICBitmapDecoderInfo> info;
  EXPECT_EQ(decoder->GetDecoderInfo(&info), S_OK);

  Com<IWICBitmapFrameDecode> frame;
  ASSERT_EQ(decoder->GetFrame(0, &frame), S_OK);
  EXPECT_EQ(frame->GetThumbnail(&source), WINCODEC_ERR_CODECNOTHUMBNAIL);
  EXPECT_EQ(frame->GetMetadataQueryReader(&reader), WINCODEC_ERR_UNSUPPORTEDOPERATION);
  EXPECT_EQ(frame->CopyPalette(palette.p), WINCODEC_ERR_PALETTEUNAVAILABLE);
  EXPECT_EQ(frame->GetColorContexts(0, nullptr, &count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST(WicCodec, FramesShareOneDecodeAcrossThreadsAndTheDllUnloadsWhenAllIsReleased) {
  HMODULE dll = LoadLibraryA(ZUVREK_WIC_FILE);
  ASSERT_NE(dll, nullptr);
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
  {
    const Bytes bytes = Picture24(700, 500, true, 9);
    const Picture expected = PluginPicture(bytes);
    Com<IWICBitmapDecoder> decoder;
    Com<IWICStream> stream;
    ASSERT_EQ(OurDecoder(bytes, &decoder, &stream), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    std::vector<Picture> got(4);
    std::vector<std::thread> threads;
    for (Picture& p : got) threads.emplace_back([&] { p = WicPicture(decoder.p); });
    for (std::thread& t : threads) t.join();
    for (const Picture& p : got) ExpectSame(p, expected);
  }
  EXPECT_EQ(canUnload(), S_OK);
  FreeLibrary(dll);
}

}  // namespace
