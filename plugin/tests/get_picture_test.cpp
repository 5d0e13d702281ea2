// The whole picture through GetPicture, in both modes, and every failure path.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/plugin_api.h"
#include "tests/support/mca_builder.h"
#include "tests/support/info_block.h"
#include "tests/support/plain_decoder.h"
#include "tests/support/temp_file.h"

namespace {

struct Output {
  int32_t result = -100;
  HLOCAL info = reinterpret_cast<HLOCAL>(0x1);
  HLOCAL pixels = reinterpret_cast<HLOCAL>(0x2);
  Bytes infoBytes, pixelBytes;
};

int callbackCalls = 0;
int32_t callbackAnswer = 0;
int32_t WINAPI Progress(int32_t, int32_t, intptr_t data) {
  ++callbackCalls;
  EXPECT_EQ(data, intptr_t(0x5EED));
  return callbackAnswer;
}

Bytes Contents(HLOCAL block) {
  if (LocalFlags(block) != 0) ADD_FAILURE() << "block handed over locked";
  // Fixed blocks: hosts that use the handle as the address see the pixels.
  if (LocalLock(block) != block) ADD_FAILURE() << "not a fixed block";
  const size_t size = LocalSize(block);
  const uint8_t* p = static_cast<const uint8_t*>(block);
  return Bytes(p, p + size);
}

// Runs GetPicture and takes over what it hands back.
Output Take(LPCSTR buf, LONG_PTR len, uint32_t flag, ProgressCallback callback = nullptr) {
  Output out;
  out.result = GetPicture(buf, len, flag, &out.info, &out.pixels, callback, 0x5EED);
  if (out.result == 0) {
    out.infoBytes = Contents(out.info);
    out.pixelBytes = Contents(out.pixels);
    LocalFree(out.info);
    LocalFree(out.pixels);
  }
  return out;
}

Output RunMemory(const Bytes& image, ProgressCallback callback = nullptr) {
  return Take(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1, callback);
}

Bytes Sample(uint32_t seed, int32_t format = 24) {
  TestContainer c;
  c.pixelFormat = format;
  if (format == 8) c.palette.assign(100, 0x00445566 + seed);
  c.frames = {PictureFrame(7, 3, format, true, seed), RandomFrame(5, 2, format, false, seed + 1, 100),
              PictureFrame(3, 4, format, true, seed + 2)};
  return BuildContainer(c);
}

TEST(GetPicture, SmallestPicture) {
  TestContainer c;
  c.frames = {RandomFrame(3, 1, 24, false, 1)};
  const Output out = RunMemory(BuildContainer(c));
  ASSERT_EQ(out.result, 0);
  EXPECT_EQ(out.infoBytes, InfoBlock(3, 1));
  EXPECT_EQ(out.pixelBytes, c.frames[0].pixels);
}

TEST(GetPicture, BothModesDeliverThePlainDecodersPixels) {
  for (int32_t format : {24, 8}) {
    const Bytes image = Sample(10, format);
    PlainPicture plain;
    ASSERT_TRUE(PlainDecode(image.data(), image.size(), &plain));
    TempFile file(image);
    const size_t live = ShimLiveLocalBlocks();
    const Output fromFile = Take(file.path(), 12345, 0);
    const Output fromMemory = RunMemory(image);
    EXPECT_EQ(ShimLiveLocalBlocks(), live);
    ASSERT_EQ(fromFile.result, 0);
    ASSERT_EQ(fromMemory.result, 0);
    EXPECT_EQ(fromFile.infoBytes, InfoBlock(7, 9));  // 8-bit pictures come at 24 bits, table zero
    EXPECT_EQ(fromMemory.infoBytes, fromFile.infoBytes);
    EXPECT_EQ(fromFile.pixelBytes, plain.pixels);
    EXPECT_EQ(fromMemory.pixelBytes, plain.pixels);
  }
}

TEST(GetPicture, MemoryImageIsOnlyRead) {
  const Bytes image = Sample(20);
  Bytes copy = image;
  ASSERT_EQ(RunMemory(copy).result, 0);
  EXPECT_EQ(copy, image);
}

TEST(GetPicture, NoFramesGivesAnEmptyPixelBlockAndOneReport) {
  callbackCalls = 0;
  callbackAnswer = 0;
  const Output out = RunMemory(BuildContainer(TestContainer{}), Progress);
  ASSERT_EQ(out.result, 0);
  EXPECT_EQ(out.infoBytes, InfoBlock(0, 0));
  EXPECT_TRUE(out.pixelBytes.empty());
  EXPECT_EQ(callbackCalls, 1);
}

TEST(GetPicture, CallbackAskingToStopFailsAndReleasesEverything) {
  const Bytes image = Sample(30);
  callbackCalls = 0;
  callbackAnswer = 1;
  const size_t live = ShimLiveLocalBlocks();
  const Output out = RunMemory(image, Progress);
  EXPECT_EQ(out.result, 8);
  EXPECT_EQ(callbackCalls, 1);
  EXPECT_EQ(out.info, nullptr);
  EXPECT_EQ(out.pixels, nullptr);
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
  callbackAnswer = 0;
  EXPECT_EQ(RunMemory(image, Progress).result, 0);
  EXPECT_EQ(callbackCalls, 2);
}

TEST(GetPicture, MissingOrLockedFileLeavesTheHandles) {
  Output out = Take("/nonexistent/zuvrek/none.mca", 0, 0);
  EXPECT_EQ(out.result, 6);
  EXPECT_EQ(out.info, reinterpret_cast<HLOCAL>(0x1));
  EXPECT_EQ(out.pixels, reinterpret_cast<HLOCAL>(0x2));
  TempFile file(Sample(40));
  HANDLE other = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  out = Take(file.path(), 0, 0);
  EXPECT_EQ(out.result, 6);
  EXPECT_EQ(out.info, reinterpret_cast<HLOCAL>(0x1));
  CloseHandle(other);
}

TEST(GetPicture, BrokenContainerLeavesTheHandles) {
  Bytes image = Sample(50);
  image.resize(60);
  const size_t live = ShimLiveLocalBlocks();
  const Output out = RunMemory(image);
  EXPECT_EQ(out.result, 8);
  EXPECT_EQ(out.info, reinterpret_cast<HLOCAL>(0x1));
  EXPECT_EQ(out.pixels, reinterpret_cast<HLOCAL>(0x2));
  TempFile file(image);
  EXPECT_EQ(Take(file.path(), 0, 0).result, 8);
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
}

TEST(GetPicture, PayloadOutsideTheDataFailsAndReleasesTheOutput) {
  Bytes image = Sample(60);
  image.resize(image.size() - 1);  // the last frame's payload is one byte short
  const size_t live = ShimLiveLocalBlocks();
  const Output out = RunMemory(image);
  EXPECT_EQ(out.result, 8);
  EXPECT_EQ(out.info, nullptr);
  EXPECT_EQ(out.pixels, nullptr);
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
}

TEST(GetPicture, PictureTooLargeForAnyBlockIsNoMemory) {
  // Geometry alone decides: 2^31 - 1 rows of one pixel, or a negative height.
  for (int32_t height : {INT32_MAX, -1, 100000}) {
    TestContainer c;
    TestFrame f;
    f.width = height == 100000 ? 100000 : 1;
    f.height = height;
    c.frames = {f};
    const size_t live = ShimLiveLocalBlocks();
    const Output out = RunMemory(BuildContainer(c));
    EXPECT_EQ(out.result, 4) << height;
    EXPECT_EQ(out.info, nullptr);
    EXPECT_EQ(out.pixels, nullptr);
    EXPECT_EQ(ShimLiveLocalBlocks(), live);
  }
}

// Fails the first, second, ... allocation of a call (local blocks and frame
// buffers alike) until the call succeeds: every step gives its code, leaves
// the host either both blocks or no handle at all, and leaks nothing.
TEST(GetPicture, EveryAllocationFailingInTurn) {
  TestContainer withEmptyFrame;
  withEmptyFrame.frames = {RandomFrame(3, 0, 24, true, 71), RandomFrame(2, 2, 24, false, 72)};
  for (const Bytes& image : {Sample(70), Sample(73, 8), BuildContainer(TestContainer{}), BuildContainer(withEmptyFrame)}) {
    TempFile file(image);
    for (bool fileMode : {true, false}) {
      int successes = 0;
      for (unsigned nth = 1; nth < 40 && successes == 0; ++nth) {
        const size_t live = ShimLiveLocalBlocks();
        Output out;
        ShimFailAllocation(nth);
        out.result = fileMode ? GetPicture(file.path(), 0, 0, &out.info, &out.pixels, nullptr, 0)
                              : GetPicture(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1,
                                           &out.info, &out.pixels, nullptr, 0);
        ShimFailAllocation(0);
        if (out.result == 0) {
          ++successes;
          LocalFree(out.info);
          LocalFree(out.pixels);
        } else {
          // File block: 4, before any output; output blocks: 4; frame buffers: 8.
          EXPECT_TRUE(out.result == 4 || out.result == 8) << nth << " gave " << out.result;
          if (fileMode && nth == 1) {
            EXPECT_EQ(out.info, reinterpret_cast<HLOCAL>(0x1));
            EXPECT_EQ(out.pixels, reinterpret_cast<HLOCAL>(0x2));
          } else {
            EXPECT_EQ(out.info, nullptr) << nth;
            EXPECT_EQ(out.pixels, nullptr) << nth;
          }
        }
        EXPECT_EQ(ShimLiveLocalBlocks(), live) << nth;
      }
      EXPECT_EQ(successes, 1);
    }
  }
}

TEST(GetPicture, AllocationOrderGivesTheSpecifiedCodes) {
  const Bytes image = Sample(80);
  TempFile file(image);
  const int32_t expected[] = {4, 4, 4, 8, 8};  // file block, information block, pixel block, the first two frames' windows
  for (unsigned nth = 1; nth <= 5; ++nth) {
    HLOCAL info = nullptr, pixels = nullptr;
    ShimFailAllocation(nth);
    EXPECT_EQ(GetPicture(file.path(), 0, 0, &info, &pixels, nullptr, 0), expected[nth - 1]) << nth;
    ShimFailAllocation(0);
  }
}

}  // namespace
