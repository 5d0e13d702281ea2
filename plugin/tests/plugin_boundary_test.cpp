// The shipped DLL through a real loader: exports, calling convention,
// description strings, recognition and picture information.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/host/checked_call.h"
#include "tests/support/descriptions.h"
#include "tests/host/loaded_plugin.h"

namespace {

TEST(Exports, FiveUndecoratedNames) {
  HMODULE m = Plugin().module;
  for (const char* name : {"GetPicture", "GetPictureInfo", "GetPluginInfo", "GetPreview", "IsSupported"}) {
    EXPECT_NE(GetProcAddress(m, name), nullptr) << name;
  }
  for (const char* name : {"_GetPicture@28", "GetPicture@28", "_IsSupported@8", "DllMain"}) {
    EXPECT_EQ(GetProcAddress(m, name), nullptr) << name;
  }
#if !defined(_WIN64)
  // The 32-bit plug-in has exactly the five.
  for (const char* name : {"GetPictureW", "GetPictureInfoW", "GetPluginInfoW", "GetPreviewW", "IsSupportedW"}) {
    EXPECT_EQ(GetProcAddress(m, name), nullptr) << name;
  }
#endif
}

#if !defined(_WIN64)
int32_t __cdecl CdeclProbe(int32_t a, int32_t b) { return a + b; }
int32_t __stdcall StdcallProbe(int32_t a, int32_t b) { return a - b; }

// The stack check itself tells the two conventions apart.
TEST(Exports, StackCheckSeesWhoRemovesTheArguments) {
  const uintptr_t args[] = {5, 3};
  SpiCallCheck check{99, 99};
  EXPECT_EQ(SpiCallChecked(reinterpret_cast<const void*>(CdeclProbe), args, 2, &check), 8);
  EXPECT_EQ(check.stackDelta, -8);
  EXPECT_EQ(SpiCallChecked(reinterpret_cast<const void*>(StdcallProbe), args, 2, &check), 2);
  EXPECT_EQ(check.stackDelta, 0);
  EXPECT_EQ(check.clobbered, 0u);
}
#endif

TEST(Exports, LoadsAndUnloadsAgain) {
  SpiPlugin second{};
  ASSERT_TRUE(LoadSpiPlugin(ZUVREK_PLUGIN_FILE, &second));
  UnloadSpiPlugin(&second);
}

TEST(PluginInfo, EntriesWithGuardBytes) {
  const std::string texts[] = {"00IN", kEntry1, "*.mca", "F&C *.MCA"};
  for (int32_t i = 0; i < 4; ++i) {
    char buf[80];
    std::memset(buf, 0xCC, sizeof buf);
    const SpiResult r = SpiGetPluginInfo(Plugin(), i, buf, 64);
    EXPECT_TRUE(CleanCall(r));
    EXPECT_EQ(r.value, int32_t(texts[i].size()));
    EXPECT_EQ(std::string(buf, texts[i].size() + 1), texts[i] + '\0');
    for (size_t k = texts[i].size() + 1; k < sizeof buf; ++k) ASSERT_EQ(buf[k], '\xCC');
  }
  char buf[8];
  std::memset(buf, 0xCC, sizeof buf);
  for (int32_t i : {4, -1}) {
    const SpiResult r = SpiGetPluginInfo(Plugin(), i, buf, 8);
    EXPECT_EQ(r.value, 0);
    EXPECT_TRUE(CleanCall(r));
  }
  EXPECT_EQ(std::string(buf, 8), std::string(8, '\xCC'));
}

TEST(PluginInfo, CutStringsStayInsideTheBuffer) {
  for (int32_t room = 0; room <= 38; ++room) {
    char buf[48];
    std::memset(buf, 0xCC, sizeof buf);
    const SpiResult r = SpiGetPluginInfo(Plugin(), 1, buf, room);
    EXPECT_TRUE(CleanCall(r));
    if (room == 0) {
      EXPECT_EQ(r.value, 0);
      EXPECT_EQ(buf[0], '\xCC');
      continue;
    }
    ASSERT_LT(r.value, room);
    EXPECT_EQ(std::string(buf, size_t(r.value)), kEntry1.substr(0, size_t(r.value)));
    EXPECT_EQ(buf[r.value], '\0');
    for (size_t k = size_t(room); k < sizeof buf; ++k) ASSERT_EQ(buf[k], '\xCC') << room;
  }
}

TEST(IsSupported, MemoryHead) {
  static const char mca[] = "MCA\x01\x02";
  static const char other[] = "BM6\x00\x00";
  SpiResult r = SpiIsSupported(Plugin(), "x.bmp", (reinterpret_cast<uintptr_t>(mca)));
  EXPECT_EQ(r.value, 1);
  EXPECT_TRUE(CleanCall(r));
  r = SpiIsSupported(Plugin(), "x.mca", (reinterpret_cast<uintptr_t>(other)));
  EXPECT_EQ(r.value, 0);
  EXPECT_TRUE(CleanCall(r));
}

TEST(IsSupported, FileHandleReadsConsecutiveStretches) {
  Bytes bytes(4100, 'x');
  std::memcpy(&bytes[2000], "MCA", 3);
  WorkFile file("is_supported_handle.bin", bytes);
  HANDLE h = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_LE(reinterpret_cast<uintptr_t>(h), 0xFFFFu);
  const uintptr_t dw = reinterpret_cast<uintptr_t>(h);
  SpiResult r = SpiIsSupported(Plugin(), "a.mca", dw);
  EXPECT_EQ(r.value, 0);  // bytes 0..1999
  EXPECT_TRUE(CleanCall(r));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 2000u);
  r = SpiIsSupported(Plugin(), "a.bmp", dw);
  EXPECT_EQ(r.value, 1);  // bytes 2000..3999
  EXPECT_EQ(SpiIsSupported(Plugin(), "a.mca", dw).value, 0);
  CloseHandle(h);
}

TEST(GetPreview, NotProvided) {
  HLOCAL a = nullptr, b = nullptr;
  SpiResult r = SpiGetPreview(Plugin(), nullptr, 0, 0, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(r.value, -1);
  EXPECT_TRUE(CleanCall(r));
  r = SpiGetPreview(Plugin(), "x.mca", 5, 1, &a, &b, nullptr, 0);
  EXPECT_EQ(r.value, -1);
  EXPECT_EQ(a, nullptr);
}

// The record's bytes (26, or 32 on x64) and nothing around them.
struct GuardedRecord {
  uint8_t bytes[sizeof(SpiPictureInfo) + 8];
  GuardedRecord() { std::memset(bytes, 0xEE, sizeof bytes); }
  void* record() { return bytes + 4; }
  bool Untouched() const {
    for (uint8_t b : bytes) {
      if (b != 0xEE) return false;
    }
    return true;
  }
  void ExpectRecord(int32_t width, int32_t height) const {
    SpiPictureInfo info;
    std::memcpy(&info, bytes + 4, sizeof info);
    EXPECT_EQ(info.left, 0);
    EXPECT_EQ(info.top, 0);
    EXPECT_EQ(info.width, width);
    EXPECT_EQ(info.height, height);
    EXPECT_EQ(info.xDensity, 1);
    EXPECT_EQ(info.yDensity, 1);
    EXPECT_EQ(info.colorDepth, 24);
    EXPECT_EQ(info.textInfo, decltype(info.textInfo)(0));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bytes[i], 0xEE);
    for (size_t i = 4 + sizeof info; i < sizeof bytes; ++i) EXPECT_EQ(bytes[i], 0xEE);
  }
};

TEST(GetPictureInfo, FileAndMemoryModes) {
  const Bytes image = TwoFrameHeads();
  WorkFile file("picture_info.mca", image);
  GuardedRecord fromFile, fromMemory;
  SpiResult r = SpiGetPictureInfo(Plugin(), file.path(), 99, 0, fromFile.record());
  EXPECT_EQ(r.value, 0);
  EXPECT_TRUE(CleanCall(r));
  fromFile.ExpectRecord(640, 480);
  r = SpiGetPictureInfo(Plugin(), image.data(), int32_t(image.size()), 1, fromMemory.record());
  EXPECT_EQ(r.value, 0);
  EXPECT_TRUE(CleanCall(r));
  fromMemory.ExpectRecord(640, 480);
}

TEST(GetPictureInfo, FailuresWriteNothing) {
  GuardedRecord record;
  SpiResult r = SpiGetPictureInfo(Plugin(), "no_such_picture.mca", 0, 0, record.record());
  EXPECT_EQ(r.value, 6);
  EXPECT_TRUE(CleanCall(r));
  EXPECT_TRUE(record.Untouched());

  Bytes broken = TwoFrameHeads();
  broken.resize(broken.size() - 1);
  r = SpiGetPictureInfo(Plugin(), broken.data(), int32_t(broken.size()), 1, record.record());
  EXPECT_EQ(r.value, 8);
  EXPECT_TRUE(record.Untouched());
}

TEST(GetPictureInfo, FileHeldOpenWithoutSharing) {
  WorkFile file("picture_info_locked.mca", TwoFrameHeads());
  HANDLE other = CreateFileA(file.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  GuardedRecord record;
  EXPECT_EQ(SpiGetPictureInfo(Plugin(), file.path(), 0, 0, record.record()).value, 6);
  EXPECT_TRUE(record.Untouched());
  CloseHandle(other);
  EXPECT_EQ(SpiGetPictureInfo(Plugin(), file.path(), 0, 0, record.record()).value, 0);
}

}  // namespace
