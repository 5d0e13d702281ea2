// The Unicode entry points of the 64-bit plug-in: UTF-16 strings cut like the
// ANSI ones, file names no ANSI code page holds, memory mode as the ANSI
// calls, and ANSI and Unicode calls mixed on one file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/plain_decoder.h"
#include "tests/host/loaded_plugin.h"

namespace {

const std::wstring kEntry1W = L"\u300C" L"F&C Canvas" L"\u300D" L"\u7528" L" MCA Plug-in ver 1.00";

// A file with a UTF-16 name in the working directory, removed afterwards.
struct WideFile {
  std::wstring name;
  WideFile(const std::wstring& n, const Bytes& bytes) : name(n) {
    FILE* f = _wfopen(name.c_str(), L"wb");
    if (f) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  }
  ~WideFile() { _wremove(name.c_str()); }
};

Bytes Sample() {
  TestContainer c;
  c.pixelFormat = 8;
  for (uint32_t i = 0; i < 256; ++i) c.palette.push_back(i * 0x00030507u);
  c.frames = {PictureFrame(31, 7, 8, true, 91), RandomFrame(12, 4, 8, false, 92)};
  return BuildContainer(c);
}

Bytes Pixels(HLOCAL block) {
  const uint8_t* p = static_cast<const uint8_t*>(LocalLock(block));
  Bytes out(p, p + LocalSize(block));
  LocalUnlock(block);
  LocalFree(block);
  return out;
}

TEST(PluginInfoW, TheFourStringsAsUtf16) {
  const std::wstring texts[] = {L"00IN", kEntry1W, L"*.mca", L"F&C *.MCA"};
  for (int32_t i = 0; i < 4; ++i) {
    wchar_t buf[64];
    std::fill(buf, buf + 64, wchar_t(0xCCCC));
    const SpiResult r = SpiGetPluginInfoW(Plugin(), i, buf, 48);
    EXPECT_TRUE(CleanCall(r));
    EXPECT_EQ(r.value, int32_t(texts[i].size()));
    EXPECT_EQ(std::wstring(buf), texts[i]);
    for (size_t k = texts[i].size() + 1; k < 64; ++k) ASSERT_EQ(buf[k], wchar_t(0xCCCC));
  }
  wchar_t buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(SpiGetPluginInfoW(Plugin(), 4, buf, 4).value, 0);
  EXPECT_EQ(SpiGetPluginInfoW(Plugin(), -1, buf, 4).value, 0);
  EXPECT_EQ(buf[0], 1);
}

TEST(PluginInfoW, CutStringsCountUnitsAndStayInside) {
  for (int32_t room = 0; room <= 36; ++room) {
    wchar_t buf[48];
    std::fill(buf, buf + 48, wchar_t(0xCCCC));
    const SpiResult r = SpiGetPluginInfoW(Plugin(), 1, buf, room);
    if (room == 0) {
      EXPECT_EQ(r.value, 0);
      EXPECT_EQ(buf[0], wchar_t(0xCCCC));
      continue;
    }
    ASSERT_EQ(r.value, std::min(room - 1, int32_t(kEntry1W.size()))) << room;
    EXPECT_EQ(std::wstring(buf, size_t(r.value)), kEntry1W.substr(0, size_t(r.value)));
    EXPECT_EQ(buf[r.value], 0);
    for (size_t k = size_t(room); k < 48; ++k) ASSERT_EQ(buf[k], wchar_t(0xCCCC)) << room;
  }
}

TEST(PictureW, FileNamesNoCodePageHolds) {
  const Bytes image = Sample();
  PlainPicture plain;
  ASSERT_TRUE(PlainDecode(image.data(), image.size(), &plain));
  // Japanese characters, and an emoji outside the Basic Multilingual Plane.
  for (const std::wstring name : {L"\u5199\u771F\u30C6\u30B9\u30C8.mca", L"pic_\U0001F600.mca"}) {
    WideFile file(name, image);
    SpiPictureInfo info{};
    SpiResult r = SpiGetPictureInfoW(Plugin(), name.c_str(), 0, 0, &info);
    ASSERT_EQ(r.value, 0);
    EXPECT_TRUE(CleanCall(r));
    EXPECT_EQ(info.width, 31);
    EXPECT_EQ(info.height, 11);
    HLOCAL hInfo = nullptr, hPixels = nullptr;
    r = SpiGetPictureW(Plugin(), name.c_str(), 0, 0, &hInfo, &hPixels, nullptr, 0);
    ASSERT_EQ(r.value, 0);
    EXPECT_TRUE(CleanCall(r));
    LocalFree(hInfo);
    EXPECT_EQ(Pixels(hPixels), plain.pixels);

    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SpiIsSupportedW(Plugin(), name.c_str(), reinterpret_cast<uintptr_t>(h)).value, 1);
    CloseHandle(h);
  }
  SpiPictureInfo info{};
  EXPECT_EQ(SpiGetPictureInfoW(Plugin(), L"\u5199\u771F_none.mca", 0, 0, &info).value, 6);
}

TEST(PictureW, MixedWithAnsiCallsOnOneFile) {
  const Bytes image = Sample();
  WorkFile file("mixed_calls.mca", image);
  const std::wstring wide = L"mixed_calls.mca";
  std::vector<Bytes> results;
  for (int round = 0; round < 2; ++round) {
    SpiPictureInfo info{};
    ASSERT_EQ(SpiGetPictureInfo(Plugin(), file.path(), 0, 0, &info).value, 0);
    ASSERT_EQ(SpiGetPictureInfoW(Plugin(), wide.c_str(), 0, 0, &info).value, 0);
    HLOCAL a = nullptr, b = nullptr;
    ASSERT_EQ(SpiGetPictureW(Plugin(), wide.c_str(), 0, 0, &a, &b, nullptr, 0).value, 0);
    LocalFree(a);
    results.push_back(Pixels(b));
    ASSERT_EQ(SpiGetPicture(Plugin(), file.path(), 0, 0, &a, &b, nullptr, 0).value, 0);
    LocalFree(a);
    results.push_back(Pixels(b));
    ASSERT_EQ(SpiGetPictureW(Plugin(), image.data(), intptr_t(image.size()), 1, &a, &b, nullptr, 0).value, 0);
    LocalFree(a);
    results.push_back(Pixels(b));
  }
  for (const Bytes& r : results) EXPECT_EQ(r, results[0]);
}

}  // namespace
