// Container head, frame table and the geometry scan.
#include <gtest/gtest.h>

#include "mca/container.h"
#include "tests/support/dib_decode.h"
#include "tests/support/mca_builder.h"

namespace {

bool Geometry(const Bytes& b, McaGeometry* g) { return ProbedGeometry(b.data(), b.size(), g); }

TEST(Signature, OnlyTheExactThreeBytesMatch) {
  const uint8_t good[] = {'M', 'C', 'A'};
  const uint8_t mixed[] = {'M', 'C', 'a'};
  const uint8_t lower[] = {'m', 'c', 'a'};
  const uint8_t shortHead[] = {'M', 'C', 0};
  EXPECT_TRUE(IsMcaSignature(good));
  EXPECT_FALSE(IsMcaSignature(mixed));
  EXPECT_FALSE(IsMcaSignature(lower));
  EXPECT_FALSE(IsMcaSignature(shortHead));
}

TEST(Geometry, WidestFrameAndSummedHeights) {
  McaGeometry g{};
  ASSERT_TRUE(Geometry(TwoFrameHeads(), &g));
  EXPECT_EQ(g.width, 640);
  EXPECT_EQ(g.height, 480);
  EXPECT_EQ(g.depth, 24);
}

TEST(Geometry, NoFramesGivesAnEmptyPicture) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    TestContainer c;
    Bytes b = BuildContainer(c);
    PutLe32(b, 32, uint32_t(count));
    McaGeometry g{-5, -5, -5};
    ASSERT_TRUE(Geometry(b, &g)) << count;
    EXPECT_EQ(g.width, 0);
    EXPECT_EQ(g.height, 0);
    EXPECT_EQ(g.depth, 24);
  }
}

TEST(Geometry, NegativeWidthNeverWinsButItsHeightCounts) {
  TestContainer c;
  c.frames = {FrameHead(-7, 10), FrameHead(-1, 5)};
  McaGeometry g{};
  ASSERT_TRUE(Geometry(BuildContainer(c), &g));
  EXPECT_EQ(g.width, 0);
  EXPECT_EQ(g.height, 15);
}

TEST(Geometry, HeightSumWrapsIn32Bits) {
  TestContainer c;
  c.frames = {FrameHead(1, INT32_MAX), FrameHead(1, 2)};
  McaGeometry g{};
  ASSERT_TRUE(Geometry(BuildContainer(c), &g));
  EXPECT_EQ(g.height, INT32_MIN + 1);
}

TEST(Geometry, FrameTableFollowsThePalette) {
  TestContainer c;
  c.palette.assign(16, 0x00112233);
  c.frames = {FrameHead(9, 4)};
  const Bytes b = BuildContainer(c);
  McaHeader h{};
  ASSERT_TRUE(ReadMcaHeader(McaSpan{b.data(), b.size()}, &h));
  EXPECT_EQ(h.frameTableOffset, 112u);
  McaGeometry g{};
  ASSERT_TRUE(Geometry(b, &g));
  EXPECT_EQ(g.width, 9);
  EXPECT_EQ(g.height, 4);
}

TEST(Geometry, IgnoresFormatCompressionAndPayload) {
  TestContainer c;
  c.frames = {RandomFrame(5, 3, 24, false, 1), RandomFrame(7, 2, 24, true, 2)};
  Bytes b = BuildContainer(c);
  McaGeometry before{};
  ASSERT_TRUE(Geometry(b, &before));
  const size_t first = b[48] | b[49] << 8;
  const size_t second = b[52] | b[53] << 8;
  PutLe32(b, 20, 8);
  PutLe32(b, first, 1);
  PutLe32(b, second, 0);
  for (size_t i = first + 32; i < second; ++i) b[i] ^= 0x5A;
  for (size_t i = second + 32; i < b.size(); ++i) b[i] ^= 0xA5;
  McaGeometry after{};
  ASSERT_TRUE(Geometry(b, &after));
  EXPECT_EQ(after.width, before.width);
  EXPECT_EQ(after.height, before.height);
}

// A container must hold its head, palette, frame table and every frame head;
// one byte short of any of them is broken, and the outputs stay as they were.
TEST(Geometry, EveryStructureMustLieInsideTheData) {
  TestContainer c;
  c.palette.assign(3, 0);
  c.frames = {FrameHead(4, 4), FrameHead(2, 2)};
  const Bytes whole = BuildContainer(c);
  const size_t lastHeadEnd = whole.size();  // empty payloads: the last frame head ends the data
  McaGeometry g{};
  ASSERT_TRUE(Geometry(whole, &g));
  for (size_t size = 0; size < lastHeadEnd; ++size) {
    McaGeometry untouched{11, 22, 33};
    EXPECT_FALSE(ProbedGeometry(whole.data(), size, &untouched)) << size;
    EXPECT_EQ(untouched.width, 11);
    EXPECT_EQ(untouched.height, 22);
    EXPECT_EQ(untouched.depth, 33);
  }
}

TEST(Geometry, PaletteCountOutsideZeroTo256IsBroken) {
  TestContainer c;
  c.palette.assign(256, 0);
  Bytes b = BuildContainer(c);
  McaGeometry g{};
  EXPECT_TRUE(Geometry(b, &g));
  b.resize(b.size() + 4096);
  for (int32_t count : {257, -1, INT32_MAX, INT32_MIN}) {
    PutLe32(b, 24, uint32_t(count));
    EXPECT_FALSE(Geometry(b, &g)) << count;
  }
}

TEST(Geometry, FrameOffsetsNearTheTopOfTheAddressRangeAreBroken) {
  TestContainer c;
  c.frames = {FrameHead(1, 1)};
  Bytes b = BuildContainer(c);
  McaGeometry g{};
  for (uint32_t offset : {0xFFFFFFFFu, 0xFFFFFFF0u, uint32_t(b.size() - 31)}) {
    PutLe32(b, 48, offset);
    EXPECT_FALSE(Geometry(b, &g)) << offset;
  }
}

TEST(Geometry, HugeFrameCountIsBrokenNotScanned) {
  TestContainer c;
  c.frames = {FrameHead(1, 1)};
  Bytes b = BuildContainer(c);
  PutLe32(b, 32, 0x7FFFFFFF);
  McaGeometry g{};
  EXPECT_FALSE(Geometry(b, &g));
}

}  // namespace
