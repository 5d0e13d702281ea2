// What Explorer uses besides the decoder, as regsvr32 registered it: the
// property handler made by its class (the picture's size from its heads
// alone, read-only), and the registration's care for what others set (a
// default ProgID for .mca stays the one someone else chose).
#include <gtest/gtest.h>
#include <propsys.h>

#include <string>

#include "tests/support/mca_builder.h"
#include "wic/tests/piece_stream.h"

namespace {

const CLSID kProperties = {0x567e6fd8, 0x9ddc, 0x4cb6, {0x9c, 0xb4, 0x0f, 0x42, 0xf3, 0x90, 0x17, 0xed}};
const GUID kImageSummary = {0x6444048f, 0x4c8b, 0x11d1, {0x8b, 0x70, 0x08, 0x00, 0x36, 0xb1, 0x1a, 0x03}};
const PROPERTYKEY kWidth = {kImageSummary, 3}, kHeight = {kImageSummary, 4}, kBitDepth = {kImageSummary, 7},
                  kDimensions = {kImageSummary, 13};

struct Store {
  IInitializeWithStream* init = nullptr;
  IPropertyStore* store = nullptr;
  Store() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoCreateInstance(kProperties, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                     reinterpret_cast<void**>(&init));
    if (init) init->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(&store));
  }
  ~Store() {
    if (store) store->Release();
    if (init) init->Release();
  }
};

// The value of `key` as text: numbers in decimal, strings as they are, "" for empty.
std::wstring Value(IPropertyStore* store, const PROPERTYKEY& key) {
  PROPVARIANT v;
  if (FAILED(store->GetValue(key, &v))) return L"(failed)";
  std::wstring text = v.vt == VT_UI4 ? std::to_wstring(v.ulVal) : v.vt == VT_LPWSTR ? v.pwszVal : L"";
  if (v.vt != VT_UI4 && v.vt != VT_LPWSTR && v.vt != VT_EMPTY) text = L"(type " + std::to_wstring(v.vt) + L")";
  PropVariantClear(&v);
  return text;
}

Bytes Frames(int32_t pixelFormat, std::vector<TestFrame> frames) {
  TestContainer c;
  c.pixelFormat = pixelFormat;
  if (pixelFormat == 8) c.palette.assign(4, 0x445566);
  c.frames = std::move(frames);
  return BuildContainer(c);
}

TEST(WicProperties, GiveTheSizeFromTheHeadsAloneAndRefuseWriting) {
  const struct {
    const char* name;
    Bytes bytes;
    const wchar_t *width, *height, *dimensions;
  } pictures[] = {
      {"24-bit, 6 MB stored in two frames",
       Frames(24, {RandomFrame(2000, 900, 24, false, 1), RandomFrame(1500, 100, 24, false, 2)}), L"2000", L"1000",
       L"2000 x 1000"},
      {"8-bit, compressed", Frames(8, {RandomFrame(33, 17, 8, true, 3, 4)}), L"33", L"17", L"33 x 17"},
      {"16000 x 20000, over the decoder's limit", SparseContainer(16000, 100, 200), L"16000", L"20000",
       L"16000 x 20000"},
  };
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.name);
    PieceStream stream(p.bytes, 1 << 20, SIZE_MAX);
    Store s;
    ASSERT_NE(s.store, nullptr);
    DWORD count = 7;
    EXPECT_EQ(s.store->GetCount(&count), S_OK);
    EXPECT_EQ(count, 0u) << "before Initialize";
    ASSERT_EQ(s.init->Initialize(&stream, STGM_READ), S_OK);
    EXPECT_LE(stream.bytesRead(), 3 * 4096u) << "more than the heads were read";
    EXPECT_EQ(Value(s.store, kWidth), p.width);
    EXPECT_EQ(Value(s.store, kHeight), p.height);
    EXPECT_EQ(Value(s.store, kDimensions), p.dimensions);
    EXPECT_EQ(Value(s.store, kBitDepth), L"24");
    EXPECT_EQ(Value(s.store, {kImageSummary, 5}), L"") << "a key the store does not hold";
    ASSERT_EQ(s.store->GetCount(&count), S_OK);
    ASSERT_EQ(count, 4u);
    std::wstring keys;
    for (DWORD i = 0; i < count; ++i) {
      PROPERTYKEY key{};
      ASSERT_EQ(s.store->GetAt(i, &key), S_OK);
      EXPECT_EQ(key.fmtid, kImageSummary);
      keys += std::to_wstring(key.pid) + L" ";
    }
    EXPECT_EQ(keys, L"3 4 13 7 ");
    PROPERTYKEY key{};
    EXPECT_EQ(s.store->GetAt(4, &key), E_INVALIDARG);

    PROPVARIANT v;
    PropVariantInit(&v);
    EXPECT_EQ(s.store->SetValue(kWidth, v), STG_E_ACCESSDENIED);
    EXPECT_EQ(s.store->Commit(), STG_E_ACCESSDENIED);
    IPropertyStoreCapabilities* capabilities = nullptr;
    ASSERT_EQ(s.store->QueryInterface(IID_IPropertyStoreCapabilities, reinterpret_cast<void**>(&capabilities)), S_OK);
    EXPECT_EQ(capabilities->IsPropertyWritable(kWidth), S_FALSE);
    capabilities->Release();
    EXPECT_EQ(s.init->Initialize(&stream, STGM_READ), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
  }
}

TEST(WicProperties, BrokenFilesAndFailingStreamsGiveAnError) {
  const Bytes good = Frames(24, {RandomFrame(20, 10, 24, true, 4), RandomFrame(9, 3, 24, false, 5)});
  Bytes notMca = good;
  notMca[0] = 'X';
  // The heads lie in the file's first window: a stream that fails past the
  // last one has given all the probe needs; one byte sooner, it has not.
  const size_t lastHead = size_t(good[52]) | size_t(good[53]) << 8 | size_t(good[54]) << 16;
  const struct {
    const char* name;
    Bytes bytes;
    size_t failAt;
    DWORD mode;
    HRESULT expected;
  } cases[] = {
      {"cut in the head", Bytes(good.begin(), good.begin() + 47), SIZE_MAX, STGM_READ, WINCODEC_ERR_BADIMAGE},
      {"cut in the last payload", Bytes(good.begin(), good.end() - 1), SIZE_MAX, STGM_READ, WINCODEC_ERR_BADIMAGE},
      {"no signature", notMca, SIZE_MAX, STGM_READ, WINCODEC_ERR_BADIMAGE},
      {"empty", Bytes(), SIZE_MAX, STGM_READ, WINCODEC_ERR_BADIMAGE},
      {"a stream failing at once", good, 0, STGM_READ, STG_E_READFAULT},
      {"a stream ending inside the head", good, 47, STGM_READ, STG_E_READFAULT},
      {"opened for writing", good, SIZE_MAX, STGM_READWRITE, STG_E_ACCESSDENIED},
      {"a stream failing right after the last head", good, lastHead + 32, STGM_READ, S_OK},
      {"a stream failing inside the last head", good, lastHead + 31, STGM_READ, STG_E_READFAULT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PieceStream stream(c.bytes, 1 << 20, c.failAt);
    Store s;
    ASSERT_NE(s.store, nullptr);
    EXPECT_EQ(s.init->Initialize(&stream, c.mode), c.expected);
    DWORD count = 7;
    EXPECT_EQ(s.store->GetCount(&count), S_OK);
    EXPECT_EQ(count, c.expected == S_OK ? 4u : 0u);
    EXPECT_EQ(Value(s.store, kWidth), c.expected == S_OK ? L"20" : L"");
  }
}

// `frames` one-row frames whose heads alternate between the start of a file of
// `size` bytes and its end, so that no two heads in a row lie near each other.
Bytes ScatteredHeads(int32_t frames, size_t size) {
  Bytes file(size, 0);
  file[0] = 'M', file[1] = 'C', file[2] = 'A';
  PutLe32(file, 20, 24);
  PutLe32(file, 32, uint32_t(frames));
  const uint32_t front = 48 + 4 * uint32_t(frames), back = uint32_t(size) - 32;
  for (const uint32_t head : {front, back}) {
    PutLe32(file, head + 12, 1);  // 1 x 1, no payload
    PutLe32(file, head + 16, 1);
  }
  for (int32_t i = 0; i < frames; ++i) PutLe32(file, 48 + 4 * size_t(i), i % 2 ? back : front);
  return file;
}

// A table of scattered heads asks for a read a frame: the reads stop at the
// file's length and 1 MiB more, so no file costs more than reading it whole.
// Each read loads a window of 4 KiB: 512 frames take exactly the 512 windows
// of 2 MiB (the head, the table's first KiB and the first frame's head in
// one; the table's second KiB and the head after it in another; one each for
// the other 510 heads), 513 frames one more.
TEST(WicProperties, ScatteredHeadsCostNoMoreThanTheFileAndAMebibyte) {
  const size_t size = 1 << 20;
  const struct {
    int32_t frames;
    HRESULT expected;
  } cases[] = {{512, S_OK}, {513, WINCODEC_ERR_BADIMAGE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.frames << " frames");
    const Bytes bytes = ScatteredHeads(c.frames, size);
    PieceStream stream(bytes, 1 << 20, SIZE_MAX);
    Store s;
    ASSERT_NE(s.store, nullptr);
    EXPECT_EQ(s.init->Initialize(&stream, STGM_READ), c.expected);
    EXPECT_LE(stream.bytesRead(), size + (1u << 20));
    if (c.expected == S_OK) {
      EXPECT_EQ(Value(s.store, kHeight), std::to_wstring(c.frames));
    }
  }
}

// Registry text below HKLM, or "(none)".
std::wstring Text(const wchar_t* key, const wchar_t* name) {
  wchar_t text[512];
  DWORD bytes = sizeof text;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
    return L"(none)";
  }
  return text;
}

void SetText(const wchar_t* key, const wchar_t* name, const wchar_t* text) {
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text, DWORD((wcslen(text) + 1) * sizeof(wchar_t)));
}

// Registers and unregisters through the DLL's own entry points, around a
// default ProgID and a property handler someone else set first.
TEST(WicRegistration, KeepsTheDefaultsSomeoneElseSetAndAddsToOpenWith) {
  HMODULE dll = LoadLibraryA(ZUVREK_WIC_FILE);
  ASSERT_NE(dll, nullptr);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto registerServer = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  auto unregisterServer = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
  const wchar_t* extension = L"SOFTWARE\\Classes\\.mca";
  const wchar_t* handler = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mca";
  // As regsvr32 left it: the identities that never change, where WIC looks.
  const wchar_t* decoder = L"SOFTWARE\\Classes\\CLSID\\{BBC46898-7A0E-435E-BE31-8380A51E9F9D}";
  EXPECT_EQ(Text(decoder, L"Vendor"), L"{3E28A7F8-EE05-44DE-B637-49BDA681BC61}");
  EXPECT_EQ(Text(decoder, L"ContainerFormat"), L"{5AD871AD-F914-43F1-AF15-7C31C5E4F90A}");
  EXPECT_EQ(Text(L"SOFTWARE\\Classes\\CLSID\\{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance\\"
                 L"{BBC46898-7A0E-435E-BE31-8380A51E9F9D}",
                 L"CLSID"),
            L"{BBC46898-7A0E-435E-BE31-8380A51E9F9D}");
  HKEY formats = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                          L"SOFTWARE\\Classes\\CLSID\\{BBC46898-7A0E-435E-BE31-8380A51E9F9D}\\Formats\\"
                          L"{6FDDC324-4E03-4BFE-B185-3D77768DC90C}",
                          0, KEY_READ, &formats),
            ERROR_SUCCESS);
  if (formats) RegCloseKey(formats);
  EXPECT_EQ(Text(extension, nullptr), L"zuvrek.mca");
  EXPECT_EQ(Text(L"SOFTWARE\\Classes\\zuvrek.mca", nullptr), L"MCA picture");
  EXPECT_EQ(Text(handler, nullptr), L"{567E6FD8-9DDC-4CB6-9CB4-0F42F39017ED}");

  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(Text(extension, nullptr), L"(none)");
  SetText(extension, nullptr, L"Other.Viewer.mca");
  SetText(handler, nullptr, L"{00000000-1111-2222-3333-444444444444}");
  ASSERT_EQ(registerServer(), S_OK);
  EXPECT_EQ(Text(extension, nullptr), L"Other.Viewer.mca");
  EXPECT_EQ(Text(handler, nullptr), L"{00000000-1111-2222-3333-444444444444}");
  EXPECT_EQ(Text(L"SOFTWARE\\Classes\\.mca\\OpenWithProgids", L"zuvrek.mca"), L"");
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.mca\\OpenWithList\\PhotoViewer.dll", 0, KEY_READ,
                          &key),
            ERROR_SUCCESS);
  if (key) RegCloseKey(key);
  // No Windows Photo Viewer under Wine: the ProgID has no verb to open with.
  EXPECT_EQ(Text(L"SOFTWARE\\Classes\\zuvrek.mca\\shell\\open\\command", nullptr), L"(none)");

  ASSERT_EQ(unregisterServer(), S_OK);
  EXPECT_EQ(Text(extension, nullptr), L"Other.Viewer.mca");
  EXPECT_EQ(Text(handler, nullptr), L"{00000000-1111-2222-3333-444444444444}");
  EXPECT_EQ(Text(L"SOFTWARE\\Classes\\.mca\\OpenWithProgids", L"zuvrek.mca"), L"(none)");
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, extension, nullptr);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, extension);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, handler);
  ASSERT_EQ(registerServer(), S_OK);  // as regsvr32 left it, for what follows
  EXPECT_EQ(Text(extension, nullptr), L"zuvrek.mca");
  FreeLibrary(dll);
}

}  // namespace
