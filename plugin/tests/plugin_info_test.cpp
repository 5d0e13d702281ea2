// Description strings, format recognition and previews.
#include <gtest/gtest.h>

#include <string>

#include "plugin/plugin_api.h"
#include "tests/support/descriptions.h"
#include "tests/support/temp_file.h"

namespace {

std::string Info(int32_t number, int32_t room, int32_t* result) {
  std::string buf(80, '\xCC');
  *result = GetPluginInfo(number, &buf[0], room);
  return buf;
}

TEST(PluginInfo, EntriesAndTheirLengths) {
  const std::string texts[] = {"00IN", kEntry1, "*.mca", "F&C *.MCA"};
  for (int32_t i = 0; i < 4; ++i) {
    int32_t result = 0;
    const std::string buf = Info(i, 64, &result);
    EXPECT_EQ(result, int32_t(texts[i].size()));
    EXPECT_EQ(buf.substr(0, texts[i].size() + 1), texts[i] + '\0');
    EXPECT_EQ(buf[texts[i].size() + 1], '\xCC') << "wrote past the string";
  }
  EXPECT_EQ(kEntry1.size(), 37u);
}

TEST(PluginInfo, UnknownEntriesLeaveTheBufferAlone) {
  for (int32_t number : {4, -1, 100, INT32_MIN}) {
    int32_t result = 1;
    EXPECT_EQ(Info(number, 64, &result), std::string(80, '\xCC'));
    EXPECT_EQ(result, 0);
  }
}

TEST(PluginInfo, CutStringsEndInZeroWithinTheBuffer) {
  int32_t result = 0;
  std::string buf = Info(0, 3, &result);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(buf.substr(0, 4), std::string("00\0\xCC", 4));
  buf = Info(0, 4, &result);  // exactly one byte short of the terminator
  EXPECT_EQ(result, 3);
  EXPECT_EQ(buf.substr(0, 5), std::string("00I\0\xCC", 5));
  buf = Info(3, 1, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(buf.substr(0, 2), std::string("\0\xCC", 2));
  for (int32_t room : {0, -1}) {
    EXPECT_EQ(Info(2, room, &result), std::string(80, '\xCC'));
    EXPECT_EQ(result, 0);
  }
}

TEST(PluginInfo, CutNeverSplitsADoubleByteCharacter) {
  for (int32_t room = 1; room <= 38; ++room) {
    int32_t result = -1;
    const std::string buf = Info(1, room, &result);
    ASSERT_LE(result, room - 1);
    EXPECT_EQ(buf.substr(0, size_t(result)), kEntry1.substr(0, size_t(result)));
    EXPECT_EQ(buf[size_t(result)], '\0');
    EXPECT_EQ(buf.substr(size_t(room)), std::string(80 - size_t(room), '\xCC'));
    // Cutting inside 「 (bytes 0-1), 」 (12-13) or 用 (14-15) drops the whole character.
    EXPECT_NE(result, 1);
    EXPECT_NE(result, 13);
    EXPECT_NE(result, 15);
    EXPECT_GE(result, room - 2);
  }
}

TEST(IsSupported, MemoryHeadIsJudgedByItsFirstThreeBytes) {
  const char mca[] = "MCA\x01";
  const char other[] = "BM\x36\x00";
  EXPECT_EQ(IsSupported("picture.bmp", reinterpret_cast<DWORD_PTR>(mca)), 1);
  EXPECT_EQ(IsSupported("picture.mca", reinterpret_cast<DWORD_PTR>(other)), 0);
  EXPECT_EQ(IsSupported(nullptr, reinterpret_cast<DWORD_PTR>(mca)), 1);
}

TEST(IsSupported, FileHandleReadsConsecutive2000ByteStretches) {
  Bytes bytes(4100, 'x');
  bytes[0] = 'M', bytes[1] = 'C', bytes[2] = 'A';
  bytes[2000] = 'M', bytes[2001] = 'C', bytes[2002] = 'A';
  TempFile file(bytes);
  HANDLE h = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_LE(reinterpret_cast<DWORD_PTR>(h), 0xFFFFu);
  const size_t live = ShimLiveLocalBlocks();
  EXPECT_EQ(IsSupported("a.bmp", reinterpret_cast<DWORD_PTR>(h)), 1);   // bytes 0..1999
  EXPECT_EQ(IsSupported("a.bmp", reinterpret_cast<DWORD_PTR>(h)), 1);   // bytes 2000..3999
  EXPECT_EQ(IsSupported("a.mca", reinterpret_cast<DWORD_PTR>(h)), 0);   // 100 bytes of 'x'
  EXPECT_EQ(IsSupported("a.mca", reinterpret_cast<DWORD_PTR>(h)), 0);   // nothing left
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
  CloseHandle(h);
}

TEST(IsSupported, FewerThanThreeBytesOrNoBlockAnswersNo) {
  TempFile two(Bytes{'M', 'C'});
  HANDLE h = CreateFileA(two.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(IsSupported("a.mca", reinterpret_cast<DWORD_PTR>(h)), 0);
  CloseHandle(h);

  TempFile good(Bytes{'M', 'C', 'A'});
  h = CreateFileA(good.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ShimFailAllocation(1);
  EXPECT_EQ(IsSupported("a.mca", reinterpret_cast<DWORD_PTR>(h)), 0);
  ShimFailAllocation(0);
  EXPECT_EQ(IsSupported("a.mca", reinterpret_cast<DWORD_PTR>(h)), 1);  // the failed call read nothing
  CloseHandle(h);
  EXPECT_EQ(IsSupported("a.mca", 0xFFFF), 0);  // not an open handle: the read fails
}

TEST(GetPreview, IsNotProvided) {
  HLOCAL a = nullptr, b = nullptr;
  EXPECT_EQ(GetPreview(nullptr, 0, 0, nullptr, nullptr, nullptr, 0), -1);
  EXPECT_EQ(GetPreview("x.mca", 10, 1, &a, &b, nullptr, 5), -1);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);
}

}  // namespace
