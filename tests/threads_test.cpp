// Decoding over several threads gives the bytes one thread gives: frames a
// thread at a time, stored frames split by rows, compressed frames through
// the producer and consumer queue, and threads that cannot be started.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mca/mca_format.h"
#include "mca/mca.h"
#include "plugin/plugin_api.h"
#include "tests/support/mca_builder.h"
#include "tests/support/plain_decoder.h"
#include "tests/support/test_threads.h"

namespace {

struct Result {
  int ok;
  Bytes pixels;
};

Result Decode(const Bytes& image, const McaThreads* threads) {
  const McaSpan span{image.data(), image.size()};
  McaGeometry g{};
  EXPECT_TRUE(GetMcaGeometry(span, &g));
  const size_t stride = size_t(McaRowStride(g.width));
  Result r;
  r.pixels.assign(stride * size_t(g.height) + 16, 0);
  r.ok = DecodeMcaDib(span, r.pixels.data(), stride, g.height, threads);
  for (size_t i = r.pixels.size() - 16; i < r.pixels.size(); ++i) EXPECT_EQ(r.pixels[i], 0) << "guard";
  r.pixels.resize(r.pixels.size() - 16);
  return r;
}

struct Case {
  const char* name;
  Bytes image;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  auto one = [&](const char* name, TestFrame frame, int32_t format) {
    TestContainer c;
    c.pixelFormat = format;
    if (format == 8) {
      for (uint32_t i = 0; i < 180; ++i) c.palette.push_back(i * 0x00050301u);
    }
    c.frames = {frame};
    cases.push_back({name, BuildContainer(c)});
  };
  one("one compressed 24-bit frame, many batches", PictureFrame(300, 200, 24, true, 1), 24);
  one("one compressed 8-bit frame", PictureFrame(701, 300, 8, true, 2), 8);
  one("one stored 24-bit frame", RandomFrame(123, 77, 24, false, 3), 24);
  one("one stored 8-bit frame", RandomFrame(97, 61, 8, false, 4), 8);
  one("one row wider than a batch", PictureFrame(30000, 3, 24, true, 5), 24);

  TestContainer many;
  for (uint32_t i = 0; i < 20; ++i) many.frames.push_back(PictureFrame(20 + int32_t(i) * 7, 9, 24, i % 3 != 0, 10 + i));
  cases.push_back({"20 frames of different widths", BuildContainer(many)});
  cases.push_back({"one frame listed 30 times", RepeatedFrameContainer(RandomFrame(50, 7, 24, true, 40), 30)});

  // Heights 10, -6 and 8: the picture is 12 rows, and the last frame's last
  // 6 rows fall below it.
  TestContainer outside;
  outside.frames = {RandomFrame(40, 10, 24, true, 50), FrameHead(40, -6), RandomFrame(33, 8, 24, false, 51)};
  cases.push_back({"rows falling outside the picture", BuildContainer(outside)});

  TestContainer cut;
  cut.frames = {PictureFrame(200, 100, 24, true, 60), PictureFrame(150, 100, 24, false, 61)};
  cut.frames[0].pixels.resize(20000);
  cut.frames[1].pixels.resize(33333);
  cases.push_back({"streams that end early", BuildContainer(cut)});

  TestContainer broken;
  for (uint32_t i = 0; i < 10; ++i) broken.frames.push_back(RandomFrame(30, 5, 24, true, 70 + i));
  Bytes b = BuildContainer(broken);
  b.resize(b.size() - 1);  // the last frame's payload leaves the data
  cases.push_back({"the last payload outside the data", b});
  return cases;
}

TEST(Threads, EveryPictureAsOneThreadDecodesIt) {
  for (const Case& c : Cases()) {
    const Result alone = Decode(c.image, nullptr);
    PlainPicture plain;
    if (PlainDecode(c.image.data(), c.image.size(), &plain)) {
      ASSERT_EQ(alone.ok, 1) << c.name;
      EXPECT_TRUE(alone.pixels == plain.pixels) << c.name;
    } else {
      EXPECT_EQ(alone.ok, 0) << c.name;
    }
    for (int32_t count : {2, 3, 4}) {
      const McaThreads threads = TestThreads(count);
      const Result r = Decode(c.image, &threads);
      EXPECT_GT(TestThreadsStarted(), 0) << c.name << ", " << count << " threads";
      EXPECT_EQ(r.ok, alone.ok) << c.name << ", " << count << " threads";
      EXPECT_TRUE(r.pixels == alone.pixels) << c.name << ", " << count << " threads";
    }
  }
}

TEST(Threads, ThreadsThatCannotStartLeaveTheirWorkToTheOthers) {
  for (const Case& c : Cases()) {
    const Result alone = Decode(c.image, nullptr);
    for (int failFrom : {1, 2}) {
      const McaThreads threads = TestThreads(3, failFrom);
      const Result r = Decode(c.image, &threads);
      EXPECT_EQ(r.ok, alone.ok) << c.name << ", starts failing from " << failFrom;
      EXPECT_TRUE(r.pixels == alone.pixels) << c.name << ", starts failing from " << failFrom;
    }
  }
}

// Top-down RGB row y of a DIB decode.
Bytes RgbRowOfDib(const Bytes& dib, int32_t width, int32_t height, int32_t y) {
  const size_t dibStride = size_t(McaRowStride(width));
  const uint8_t* row = &dib[size_t(height - 1 - y) * dibStride];
  Bytes rgb(3 * size_t(width));
  for (size_t x = 0; x < rgb.size(); ++x) rgb[x] = row[x - x % 3 + 2 - x % 3];
  return rgb;
}

struct Rows {
  std::vector<Bytes> rows;
  int32_t width = -1, height = -1;
  int32_t nextY = 0;
  bool inOrder = true;
};

mca_row_sink SinkInto(Rows* rows) {
  return mca_row_sink{[](void* c, int32_t w, int32_t h) {
                        static_cast<Rows*>(c)->width = w;
                        static_cast<Rows*>(c)->height = h;
                        return 0;
                      },
                      [](void* c, int32_t y, const uint8_t* rgb) {
                        Rows& r = *static_cast<Rows*>(c);
                        r.inOrder &= y == r.nextY++;
                        r.rows.emplace_back(rgb, rgb + 3 * size_t(r.width));
                        return 0;
                      },
                      rows};
}

// The public decodes, into a buffer and to a row sink, on one thread or
// several, give the plug-in's pixels; a picture large enough for threads
// joins the cases.
TEST(Threads, BufferAndRowSinkGiveTheBlocksPixels) {
  std::vector<Case> cases = Cases();
  TestContainer large;
  large.frames = {PictureFrame(1100, 420, 24, true, 90), PictureFrame(900, 300, 8, true, 91),
                  RandomFrame(1000, 300, 24, false, 92)};
  large.pixelFormat = 24;
  cases.push_back({"frames large enough for threads", BuildContainer(large)});
  for (const Case& c : cases) {
    const Result alone = Decode(c.image, nullptr);
    mca_info info;
    if (!alone.ok || mca_probe(c.image.data(), c.image.size(), &info, nullptr) != MCA_OK) continue;
    const size_t stride = 3 * size_t(info.width) + 5;  // rows apart by more than their pixels
    for (uint32_t threads : {1u, 2u, 4u}) {
      mca_options options;
      mca_default_options(&options);
      options.threads = threads;
      Bytes rgb(stride * size_t(info.height), 0xEE);
      ASSERT_EQ(mca_decode(c.image.data(), c.image.size(), &options, rgb.data(), stride, rgb.size(), nullptr), MCA_OK)
          << c.name;
      Rows rows;
      const mca_row_sink sink = SinkInto(&rows);
      ASSERT_EQ(mca_decode_rows(c.image.data(), c.image.size(), &options, &sink, nullptr), MCA_OK) << c.name;
      ASSERT_TRUE(rows.inOrder && rows.width == info.width && rows.height == info.height) << c.name;
      ASSERT_EQ(rows.rows.size(), size_t(info.height)) << c.name;
      for (int32_t y = 0; y < info.height; ++y) {
        const Bytes expected = RgbRowOfDib(alone.pixels, info.width, info.height, y);
        const uint8_t* row = &rgb[size_t(y) * stride];
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), row)) << c.name << ", row " << y << ", " << threads;
        ASSERT_TRUE(std::all_of(row + expected.size(), row + stride, [](uint8_t v) { return v == 0xEE; }))
            << c.name << ", row " << y;
        ASSERT_TRUE(rows.rows[size_t(y)] == expected) << c.name << ", sink row " << y << ", " << threads;
      }
    }
  }
}

// The plug-in itself, on two processors, with a picture large enough for
// threads: every allocation and every thread start failing in turn.
TEST(Threads, GetPictureWithEachAllocationOrThreadFailingInTurn) {
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 3));
  TestContainer one, many;
  one.frames = {PictureFrame(700, 520, 24, true, 80)};
  for (uint32_t i = 0; i < 12; ++i) many.frames.push_back(PictureFrame(600, 50, 24, i % 2 == 0, 81 + i));
  for (const Bytes& image : {BuildContainer(one), BuildContainer(many)}) {
    PlainPicture plain;
    ASSERT_TRUE(PlainDecode(image.data(), image.size(), &plain));
    ASSERT_GE(plain.pixels.size(), kMcaMinPixelBytesForThreads);
    int successes = 0;
    for (unsigned nth = 1; nth < 40 && successes == 0; ++nth) {
      const size_t live = ShimLiveLocalBlocks();
      HLOCAL info = nullptr, pixels = nullptr;
      ShimFailAllocation(nth);
      const int32_t result = GetPicture(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1, &info,
                                        &pixels, nullptr, 0);
      ShimFailAllocation(0);
      if (result == 0) {
        ++successes;
        EXPECT_EQ(std::memcmp(pixels, plain.pixels.data(), plain.pixels.size()), 0) << nth;
        LocalFree(info);
        LocalFree(pixels);
      } else {
        EXPECT_TRUE(result == 4 || result == 8) << nth << " gave " << result;
        EXPECT_EQ(pixels, nullptr);
      }
      EXPECT_EQ(ShimLiveLocalBlocks(), live) << nth;
    }
    EXPECT_EQ(successes, 1);
  }
  SetProcessAffinityMask(GetCurrentProcess(), ~DWORD_PTR(0));
}

}  // namespace
