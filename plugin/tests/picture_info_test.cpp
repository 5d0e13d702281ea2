// Picture information from files and memory images.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/plugin_api.h"
#include "tests/support/mca_builder.h"
#include "tests/support/temp_file.h"

namespace {

PictureInfo Untouched() {
  PictureInfo info;
  std::memset(&info, 0xAB, sizeof info);
  return info;
}

bool IsUntouched(const PictureInfo& info) {
  const PictureInfo fresh = Untouched();
  return std::memcmp(&info, &fresh, sizeof info) == 0;
}

void ExpectRecord(const PictureInfo& info, int32_t width, int32_t height) {
  EXPECT_EQ(info.left, 0);
  EXPECT_EQ(info.top, 0);
  EXPECT_EQ(info.width, width);
  EXPECT_EQ(info.height, height);
  EXPECT_EQ(info.xDensity, 1);
  EXPECT_EQ(info.yDensity, 1);
  EXPECT_EQ(info.colorDepth, 24);
  EXPECT_EQ(uint32_t(info.textInfo), 0u);
}

TEST(PictureInfo, FileAndMemoryModesAgree) {
  const Bytes image = TwoFrameHeads();
  TempFile file(image);
  const size_t live = ShimLiveLocalBlocks();
  for (LONG_PTR len : {LONG_PTR(0), LONG_PTR(5), LONG_PTR(-1)}) {  // len is not consulted for files
    PictureInfo info = Untouched();
    EXPECT_EQ(GetPictureInfo(file.path(), len, 0, &info), 0);
    ExpectRecord(info, 640, 480);
  }
  for (uint32_t flag : {1u, 4u, 7u, 0xFFu}) {
    PictureInfo info = Untouched();
    Bytes copy = image;
    EXPECT_EQ(GetPictureInfo(reinterpret_cast<LPCSTR>(copy.data()), LONG_PTR(copy.size()), flag, &info), 0);
    ExpectRecord(info, 640, 480);
    EXPECT_EQ(copy, image);
  }
  // Bits above the input mode are not consulted: 8 still names a file.
  PictureInfo info = Untouched();
  EXPECT_EQ(GetPictureInfo(file.path(), 0, 8, &info), 0);
  ExpectRecord(info, 640, 480);
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
}

TEST(PictureInfo, WritesExactlyTheRecordsBytes) {
  const Bytes image = TwoFrameHeads();
  uint8_t area[40];
  std::memset(area, 0xEE, sizeof area);
  ASSERT_EQ(GetPictureInfo(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1,
                           reinterpret_cast<PictureInfo*>(area + 4)),
            0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(area[i], 0xEE);
  for (size_t i = 30; i < sizeof area; ++i) EXPECT_EQ(area[i], 0xEE);
  const uint8_t expected[26] = {0, 0, 0, 0, 0, 0, 0, 0, 0x80, 2, 0, 0, 0xE0, 1, 0, 0, 1, 0, 1, 0, 24, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(area + 4, expected, 26), 0);
}

TEST(PictureInfo, IndexedAndEmptyContainers) {
  TestContainer indexed;
  indexed.pixelFormat = 8;
  indexed.palette = {1, 2, 3};
  indexed.frames = {RandomFrame(3, 2, 8, true, 1, 3)};
  Bytes b = BuildContainer(indexed);
  PictureInfo info = Untouched();
  EXPECT_EQ(GetPictureInfo(reinterpret_cast<LPCSTR>(b.data()), LONG_PTR(b.size()), 1, &info), 0);
  ExpectRecord(info, 3, 2);

  b = BuildContainer(TestContainer{});
  info = Untouched();
  EXPECT_EQ(GetPictureInfo(reinterpret_cast<LPCSTR>(b.data()), LONG_PTR(b.size()), 1, &info), 0);
  ExpectRecord(info, 0, 0);
}

TEST(PictureInfo, FileThatDoesNotOpen) {
  PictureInfo info = Untouched();
  EXPECT_EQ(GetPictureInfo("/nonexistent/zuvrek/none.mca", 0, 0, &info), 6);
  EXPECT_TRUE(IsUntouched(info));
  EXPECT_EQ(GetPictureInfo("/tmp", 0, 0, &info), 6);  // a folder
  EXPECT_TRUE(IsUntouched(info));
}

TEST(PictureInfo, FileHeldOpenElsewhereDoesNotOpen) {
  TempFile file(TwoFrameHeads());
  for (DWORD access : {GENERIC_READ, GENERIC_WRITE}) {
    // Even an open that shares everything blocks ours, whose share mode is 0.
    HANDLE other = CreateFileA(file.path(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    PictureInfo info = Untouched();
    EXPECT_EQ(GetPictureInfo(file.path(), 0, 0, &info), 6);
    EXPECT_TRUE(IsUntouched(info));
    CloseHandle(other);
    EXPECT_EQ(GetPictureInfo(file.path(), 0, 0, &info), 0);
  }
}

TEST(PictureInfo, NoBlockForTheFile) {
  TempFile file(TwoFrameHeads());
  const size_t live = ShimLiveLocalBlocks();
  PictureInfo info = Untouched();
  ShimFailAllocation(1);
  EXPECT_EQ(GetPictureInfo(file.path(), 0, 0, &info), 4);
  ShimFailAllocation(0);
  EXPECT_TRUE(IsUntouched(info));
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
  // The file was closed: an exclusive open succeeds.
  HANDLE h = CreateFileA(file.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

// Memory mode takes nothing; file mode takes the file's block, whose failure
// answers 4 and leaves the record.
TEST(PictureInfo, EveryAllocationFailingInTurn) {
  const Bytes image = TwoFrameHeads();
  TempFile file(image);
  for (bool fileMode : {true, false}) {
    for (unsigned nth = 1; nth <= 2; ++nth) {
      const size_t live = ShimLiveLocalBlocks();
      PictureInfo info = Untouched();
      ShimFailAllocation(nth);
      const int32_t result = fileMode ? GetPictureInfo(file.path(), 0, 0, &info)
                                      : GetPictureInfo(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1, &info);
      ShimFailAllocation(0);
      const bool failed = fileMode && nth == 1;
      EXPECT_EQ(result, failed ? 4 : 0) << fileMode << nth;
      EXPECT_EQ(IsUntouched(info), failed);
      EXPECT_EQ(ShimLiveLocalBlocks(), live);
    }
  }
}

TEST(PictureInfo, BrokenContainersAnswerDecodeErrorAndLeaveTheRecord) {
  const Bytes image = TwoFrameHeads();
  for (size_t size : {size_t(0), size_t(3), size_t(47), size_t(48), size_t(55), image.size() - 1}) {
    Bytes cut(image.begin(), image.begin() + long(size));
    PictureInfo info = Untouched();
    EXPECT_EQ(GetPictureInfo(reinterpret_cast<LPCSTR>(cut.data()), LONG_PTR(size), 1, &info), 8) << size;
    EXPECT_TRUE(IsUntouched(info));
    TempFile file(cut);
    EXPECT_EQ(GetPictureInfo(file.path(), 0, 0, &info), 8) << size;
    EXPECT_TRUE(IsUntouched(info));
  }
  PictureInfo info = Untouched();
  EXPECT_EQ(GetPictureInfo(reinterpret_cast<LPCSTR>(image.data()), -5, 1, &info), 8);
  EXPECT_TRUE(IsUntouched(info));
}

}  // namespace
