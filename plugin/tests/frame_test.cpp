// Frame decoding and composition into the bottom-up 24-bit pixel block.
#include <gtest/gtest.h>

#include <vector>

#include "mca/container.h"
#include "plugin/dib_pixels.h"
#include "tests/support/fault_injection.h"
#include "tests/support/dib_decode.h"
#include "tests/support/mca_builder.h"
#include "tests/support/plain_decoder.h"

namespace {

struct Decoded {
  int ok = 0;
  size_t stride = 0;
  int32_t height = 0;
  Bytes pixels;
};

struct CallbackLog {
  int calls = 0;
  int32_t numerator = 0, denominator = 0;
  intptr_t data = 0;
  int32_t answer = 0;
};
CallbackLog callbackLog;

int32_t PLUGIN_STDCALL Record(int32_t numerator, int32_t denominator, intptr_t data) {
  ++callbackLog.calls;
  callbackLog.numerator = numerator;
  callbackLog.denominator = denominator;
  callbackLog.data = data;
  return callbackLog.answer;
}

// Decodes into a zero-filled block of the container's geometry, with guard
// bytes after it that must survive.
Decoded Decode(const Bytes& container, ProgressCallback callback = nullptr, intptr_t data = 0) {
  McaGeometry g{};
  EXPECT_TRUE(ProbedGeometry(container.data(), container.size(), &g));
  Decoded d;
  d.stride = size_t(McaRowStride(g.width));
  d.height = g.height;
  const size_t bytes = d.stride * size_t(g.height);
  d.pixels.assign(bytes + 16, 0);
  d.ok = FillDibPixels(container.data(), container.size(), d.pixels.data(), callback, data, d.stride, g.height);
  for (size_t i = bytes; i < d.pixels.size(); ++i) EXPECT_EQ(d.pixels[i], 0) << "guard " << i;
  d.pixels.resize(bytes);
  return d;
}

// The picture a container's frames describe, built from the frames themselves.
Bytes Expected(const TestContainer& c) {
  int32_t width = 0, height = 0;
  for (const auto& f : c.frames) {
    width = std::max(width, f.width);
    height += f.height;
  }
  const size_t stride = size_t(McaRowStride(width));
  Bytes out(stride * size_t(height), 0);
  int32_t row = height - 1;
  for (const auto& f : c.frames) {
    const size_t rowBytes = size_t(SourceRowBytes(f.width, c.pixelFormat));
    for (int32_t y = 0; y < f.height; ++y, --row) {
      uint8_t* dst = &out[size_t(row) * stride];
      const uint8_t* src = &f.pixels[size_t(y) * rowBytes];
      if (c.pixelFormat == 8) {
        for (int32_t x = 0; x < f.width; ++x) {
          const uint32_t entry = src[x] < c.palette.size() ? c.palette[src[x]] : 0;
          dst[3 * x] = uint8_t(entry);
          dst[3 * x + 1] = uint8_t(entry >> 8);
          dst[3 * x + 2] = uint8_t(entry >> 16);
        }
      } else {
        std::copy(src, src + rowBytes, dst);
      }
    }
  }
  return out;
}

size_t FrameAt(const Bytes& b, size_t index) {
  const size_t table = 48 + 4 * size_t(b[24] | b[25] << 8);
  const size_t at = table + 4 * index;
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | size_t(b[at + 3]) << 24;
}

TEST(Composition, FramesStackFromTheTopDown) {
  TestContainer c;
  c.frames = {RandomFrame(4, 2, 24, false, 1), RandomFrame(4, 1, 24, false, 2)};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  ASSERT_EQ(d.pixels.size(), 36u);
  const Bytes& first = c.frames[0].pixels;
  const Bytes& second = c.frames[1].pixels;
  EXPECT_TRUE(std::equal(first.begin(), first.begin() + 12, d.pixels.begin() + 24));  // top row, last in memory
  EXPECT_TRUE(std::equal(first.begin() + 12, first.end(), d.pixels.begin() + 12));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), d.pixels.begin()));            // bottom row, first in memory
}

TEST(Composition, IndexedRowSkipsItsPaddingAndLeavesTheRowEndZero) {
  TestContainer c;
  c.pixelFormat = 8;
  c.palette = {0x40302010, 0x00060504};
  TestFrame f;
  f.width = 5;
  f.height = 1;
  f.pixels = {0, 1, 0, 1, 0, 1, 1, 1};  // five indexes and three padding indexes
  c.frames = {f};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.pixels, (Bytes{0x10, 0x20, 0x30, 4, 5, 6, 0x10, 0x20, 0x30, 4, 5, 6, 0x10, 0x20, 0x30, 0}));
}

TEST(Composition, NarrowFrameWritesItsOwnPaddingAndLeavesTheRestBlack) {
  TestContainer c;
  TestFrame wide;
  wide.width = 4;
  wide.height = 1;
  wide.pixels.assign(12, 0xAA);
  TestFrame narrow;
  narrow.width = 2;
  narrow.height = 2;
  narrow.pixels = RandomBytes(16, 3);
  c.frames = {wide, narrow};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  for (int row = 0; row < 2; ++row) {
    const uint8_t* out = &d.pixels[size_t(1 - row) * 12];
    EXPECT_TRUE(std::equal(out, out + 8, narrow.pixels.begin() + 8 * row));
    EXPECT_EQ(Bytes(out + 8, out + 12), Bytes(4, 0));
  }
}

TEST(Composition, RoundTripsRandomPictures) {
  uint32_t seed = 100;
  for (int32_t format : {24, 8}) {
    for (bool compressed : {false, true}) {
      for (bool reversed : {false, true}) {
        for (int32_t width : {1, 2, 3, 5, 17, 64}) {
          TestContainer c;
          c.pixelFormat = format;
          c.reverseFrameRecords = reversed;
          if (format == 8) c.palette = [&] {
            std::vector<uint32_t> p(200);
            for (size_t i = 0; i < p.size(); ++i) p[i] = uint32_t(i * 0x010203 + 0x0A000000);
            return p;
          }();
          c.frames = {RandomFrame(width, 3, format, compressed, ++seed, 200),
                      PictureFrame(width + 3, 7, format, compressed, ++seed),
                      RandomFrame(width / 2 + 1, 2, format, compressed, ++seed, 200)};
          const Bytes container = BuildContainer(c);
          const Decoded d = Decode(container);
          ASSERT_EQ(d.ok, 1);
          EXPECT_EQ(d.pixels, Expected(c)) << format << compressed << reversed << width;
        }
      }
    }
  }
}

TEST(Composition, IdenticalStoredPayloadsDecodeAlike) {
  TestContainer c;
  const TestFrame f = RandomFrame(3, 1, 24, false, 8);
  c.frames = {f, f};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.begin() + 12, d.pixels.begin() + 12));
}

TEST(Composition, IndexBeyondThePaletteIsBlack) {
  TestContainer c;
  c.pixelFormat = 8;
  c.palette = {0x00FFFFFF, 0x00FFFFFF};
  TestFrame f;
  f.width = 4;
  f.height = 1;
  f.pixels = {1, 2, 255, 0};
  c.frames = {f};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.pixels, (Bytes{255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 255}));
}

TEST(Composition, ShortPayloadLeavesZerosNotHeapContents) {
  TestContainer c;
  TestFrame stored = RandomFrame(4, 3, 24, false, 4);
  stored.pixels.resize(20);  // 36 bytes of rows, 20 stored
  TestFrame packed = RandomFrame(4, 3, 24, true, 5);
  packed.pixels.resize(7);
  c.frames = {stored, packed};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  Bytes top(36, 0), bottom(36, 0);
  std::copy(stored.pixels.begin(), stored.pixels.end(), top.begin());
  std::copy(packed.pixels.begin(), packed.pixels.end(), bottom.begin());
  // Rows are bottom-up in memory; each 12-byte row is one source row.
  for (int r = 0; r < 3; ++r) {
    EXPECT_TRUE(std::equal(top.begin() + 12 * r, top.begin() + 12 * r + 12, d.pixels.begin() + 12 * (5 - r)));
    EXPECT_TRUE(std::equal(bottom.begin() + 12 * r, bottom.begin() + 12 * r + 12, d.pixels.begin() + 12 * (2 - r)));
  }
}

TEST(Composition, RowsOutsideThePixelBlockAreSkippedButStillCounted) {
  // Heights 3, -2 and 2 make a picture of 3 rows for 5 placed rows: the last
  // two fall below row 0.
  TestContainer c;
  c.frames = {RandomFrame(2, 3, 24, false, 6), RandomFrame(2, 0, 24, false, 7), RandomFrame(2, 2, 24, true, 8)};
  c.frames[1].height = -2;
  const Bytes container = BuildContainer(c);
  const Decoded d = Decode(container);
  ASSERT_EQ(d.ok, 1);
  ASSERT_EQ(d.height, 3);
  const Bytes& first = c.frames[0].pixels;
  for (int r = 0; r < 3; ++r) {
    EXPECT_TRUE(std::equal(first.begin() + 8 * r, first.begin() + 8 * r + 8, d.pixels.begin() + 8 * (2 - r)));
  }
  PlainPicture plain;
  ASSERT_TRUE(PlainDecode(container.data(), container.size(), &plain));
  EXPECT_EQ(d.pixels, plain.pixels);
}

TEST(Composition, ZeroOrNegativeWidthMovesRowsWithoutWriting) {
  TestContainer c;
  TestFrame empty;
  empty.width = -3;
  empty.height = 2;
  c.frames = {empty, RandomFrame(3, 1, 24, false, 9)};
  const Decoded d = Decode(BuildContainer(c));
  ASSERT_EQ(d.ok, 1);
  ASSERT_EQ(d.pixels.size(), 36u);
  EXPECT_EQ(Bytes(d.pixels.begin() + 12, d.pixels.end()), Bytes(24, 0));
  EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.begin() + 12, c.frames[1].pixels.begin()));
}

TEST(Composition, PayloadOutsideTheDataFailsBeforeThatFrame) {
  TestContainer c;
  c.frames = {RandomFrame(2, 1, 24, false, 10), RandomFrame(2, 1, 24, false, 11)};
  const Bytes whole = BuildContainer(c);
  for (int32_t stored : {9, -1, INT32_MAX}) {  // the second frame holds 8 bytes
    Bytes b = whole;
    PutLe32(b, FrameAt(b, 1) + 20, uint32_t(stored));
    const Decoded d = Decode(b);
    EXPECT_EQ(d.ok, 0) << stored;
    EXPECT_EQ(Bytes(d.pixels.begin(), d.pixels.begin() + 8), Bytes(8, 0)) << "second frame written";
    EXPECT_TRUE(std::equal(d.pixels.begin() + 8, d.pixels.end(), c.frames[0].pixels.begin()));
  }
}

TEST(Composition, OneFrameDecodedForManyTableEntries) {
  // A table whose entries all name one frame decodes that frame each time.
  TestContainer c;
  c.frames = {PictureFrame(6, 2, 24, true, 12)};
  Bytes b = BuildContainer(c);
  const size_t at = FrameAt(b, 0);
  b.insert(b.begin() + 52, {0, 0, 0, 0, 0, 0, 0, 0});
  PutLe32(b, 32, 3);
  for (size_t i = 0; i < 3; ++i) PutLe32(b, 48 + 4 * i, uint32_t(at + 8));
  const Decoded d = Decode(b);
  ASSERT_EQ(d.ok, 1);
  PlainPicture plain;
  ASSERT_TRUE(PlainDecode(b.data(), b.size(), &plain));
  EXPECT_EQ(d.pixels, plain.pixels);
  EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.begin() + 40, d.pixels.begin() + 40));
}

TEST(Composition, MatchesThePlainDecoderOnMutatedContainers) {
  for (uint32_t seed = 1; seed <= 400; ++seed) {
    TestContainer c;
    c.pixelFormat = seed % 2 ? 8 : 24;
    c.palette.assign(seed % 5 * 40, 0x00123456 + seed);
    c.frames = {PictureFrame(int32_t(seed % 13 + 1), int32_t(seed % 4 + 1), c.pixelFormat, seed % 3 != 0, seed),
                RandomFrame(int32_t(seed % 7 + 2), 2, c.pixelFormat, seed % 3 == 0, seed + 1)};
    Bytes b = BuildContainer(c);
    // Flip a few payload bytes and, now and then, a stored or expanded size;
    // widths and heights stay, so that pictures stay small.
    const Bytes noise = RandomBytes(8, seed);
    const size_t heads[2] = {FrameAt(b, 0), FrameAt(b, 1)};
    for (int k = 0; k < 4; ++k) {
      const size_t at = heads[0] + noise[k] * (b.size() - heads[0]) / 256;
      bool sizeField = false, fixedField = false;
      for (size_t head : heads) {
        sizeField |= at >= head + 20 && at < head + 28;
        fixedField |= at >= head && at < head + 32 && !sizeField;
      }
      if (sizeField ? noise[k + 4] > 0x80 : !fixedField) b[at] ^= noise[k + 4];
    }
    PlainPicture plain;
    const bool intact = PlainDecode(b.data(), b.size(), &plain);
    const Decoded d = Decode(b);
    if (!intact) {
      EXPECT_EQ(d.ok, 0) << seed;
      continue;
    }
    ASSERT_EQ(d.ok, 1) << seed;
    EXPECT_EQ(d.pixels, plain.pixels) << seed;
  }
}

TEST(Completion, CalledOnceAfterTheLastFrameWithTheHostsWord) {
  TestContainer c;
  c.frames = {RandomFrame(2, 2, 24, true, 13)};
  callbackLog = CallbackLog{};
  const Decoded d = Decode(BuildContainer(c), Record, intptr_t(0x12345678));
  EXPECT_EQ(d.ok, 1);
  EXPECT_EQ(callbackLog.calls, 1);
  EXPECT_EQ(callbackLog.numerator, 1);
  EXPECT_EQ(callbackLog.denominator, 1);
  EXPECT_EQ(callbackLog.data, intptr_t(0x12345678));
}

TEST(Completion, NonZeroAnswerFailsAfterEveryRowIsPlaced) {
  TestContainer c;
  c.frames = {RandomFrame(2, 2, 24, false, 14)};
  callbackLog = CallbackLog{};
  callbackLog.answer = 1;
  const Decoded d = Decode(BuildContainer(c), Record, 0);
  EXPECT_EQ(d.ok, 0);
  EXPECT_EQ(callbackLog.calls, 1);
  EXPECT_EQ(d.pixels, Expected(c));
}

TEST(Completion, NoFramesTakesNoBuffersAndStillReports) {
  TestContainer c;
  const Bytes b = BuildContainer(c);
  callbackLog = CallbackLog{};
  const uint64_t before = MallocCalls();
  const int ok = FillDibPixels(b.data(), b.size(), nullptr, Record, 7, 0, 0);
  EXPECT_EQ(MallocCalls(), before);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(callbackLog.calls, 1);
  EXPECT_EQ(callbackLog.data, 7);
}

TEST(Completion, FrameBuffersThatCannotBeHadFailWithoutReport) {
  TestContainer c;
  c.frames = {RandomFrame(2, 1, 24, false, 15), RandomFrame(2, 0, 24, true, 16)};
  const Bytes b = BuildContainer(c);
  for (unsigned nth = 1; nth <= 2; ++nth) {  // each frame's window, the empty one's too
    callbackLog = CallbackLog{};
    ShimFailAllocation(nth);
    const Decoded d = Decode(b, Record, 0);
    ShimFailAllocation(0);
    EXPECT_EQ(d.ok, 0) << nth;
    EXPECT_EQ(callbackLog.calls, 0) << nth;
    // The first frame stays placed when a later frame's buffers fail.
    const bool placed = nth > 1;
    EXPECT_EQ(std::equal(d.pixels.begin(), d.pixels.end(), c.frames[0].pixels.begin()), placed) << nth;
  }
}

}  // namespace

namespace {

// Frames far larger than the decoder's window, so that its history slides:
// compressed and stored, both formats, rows wider than a whole batch, and
// payloads that end early, at their limit, or with references near the end.
TEST(Composition, FramesLargerThanTheWindowMatchThePlainDecoder) {
  std::vector<TestContainer> cases;
  for (int32_t format : {24, 8}) {
    TestContainer c;
    c.pixelFormat = format;
    if (format == 8) {
      for (uint32_t i = 0; i < 256; ++i) c.palette.push_back(i * 0x00030507u);
    }
    // Under 16 MiB of pixels: a larger picture this empty is refused whole.
    c.frames = {PictureFrame(501, 70, format, true, 1), PictureFrame(333, 90, format, false, 2),
                PictureFrame(11001, 3, format, true, 3), RandomFrame(97, 345, format, true, 4)};
    cases.push_back(c);
    TestContainer cut = c;
    cut.frames[0].pixels.resize(50000);  // the payload ends early, after several slides
    cut.frames[1].pixels.resize(40001);
    cases.push_back(cut);
  }
  for (size_t k = 0; k < cases.size(); ++k) {
    const Bytes container = BuildContainer(cases[k]);
    PlainPicture plain;
    ASSERT_TRUE(PlainDecode(container.data(), container.size(), &plain));
    const Decoded d = Decode(container);
    ASSERT_EQ(d.ok, 1) << k;
    EXPECT_TRUE(d.pixels == plain.pixels) << k;
    if (k % 2 == 0) {
      EXPECT_TRUE(d.pixels == Expected(cases[k])) << k;
    }
  }
}

TEST(Composition, ExpandedSizeBelowTheFrameLeavesZerosAfterTheLastToken) {
  TestContainer c;
  c.frames = {PictureFrame(400, 100, 24, true, 5)};
  Bytes b = BuildContainer(c);
  PutLe32(b, FrameAt(b, 0) + 24, 70001);  // the limit, in the middle of a row and of the window
  PlainPicture plain;
  ASSERT_TRUE(PlainDecode(b.data(), b.size(), &plain));
  const Decoded d = Decode(b);
  ASSERT_EQ(d.ok, 1);
  EXPECT_TRUE(d.pixels == plain.pixels);
  EXPECT_FALSE(d.pixels == Expected(c));
}

}  // namespace
