// Decoding over several threads gives the bytes one thread gives: frames a
// thread at a time, stored frames split by rows, compressed frames through
// the producer and consumer queue, and threads that cannot be started.
#include <gtest/gtest.h>

#include <cstring>

#ifdef __linux__
#include <sched.h>
#endif

#include "mca/container.h"
#include "mca/std_threads.h"
#include "plugin/plugin_api.h"
#include "tests/support/dib_decode.h"
#include "tests/support/mca_builder.h"
#include "tests/support/plain_decoder.h"
#include "tests/support/test_threads.h"
#include "windows/decode_threads.h"

namespace {

struct Result {
  int ok;
  Bytes pixels;
};

Result Decode(const Bytes& image, const McaThreads* threads) {
  McaGeometry g{};
  EXPECT_TRUE(ProbedGeometry(image.data(), image.size(), &g));
  const size_t stride = size_t(McaRowStride(g.width));
  Result r;
  r.pixels.assign(stride * size_t(g.height) + 16, 0);
  r.ok = DecodeDib(image.data(), image.size(), r.pixels.data(), stride, g.height, threads) == MCA_OK;
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
    for (int32_t count : {2, 3, 4, 17, 64}) {
      const McaThreads threads = TestThreads(count);
      const Result r = Decode(c.image, &threads);
      // Many threads over few small frames leave the frames whole to the caller.
      if (count <= 4) {
        EXPECT_GT(TestThreadsStarted(), 0) << c.name << ", " << count << " threads";
      }
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

// The Windows front ends' threads count the processors the process may run
// on, as its affinity mask says: one processor gives one thread.
TEST(Threads, WindowsThreadsCountTheAffinityMask) {
  const mca_thread_api threads = WindowsDecodeThreads();
  DWORD_PTR process = 0, system = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
  const DWORD_PTR lowest = system & (~system + 1);
  const DWORD_PTR two = system & ~lowest ? lowest | ((system & ~lowest) & (~(system & ~lowest) + 1)) : lowest;
  int32_t all = 0;
  for (DWORD_PTR bits = system; bits != 0; bits &= bits - 1) ++all;
  // A mask with a gap below its processor counts that processor alone.
  const DWORD_PTR second = two & ~lowest ? two & ~lowest : lowest;
  for (const auto& [mask, processors] :
       {std::pair<DWORD_PTR, int32_t>{lowest, 1}, {second, 1}, {two, two == lowest ? 1 : 2}, {system, all}}) {
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), mask));
    EXPECT_EQ(threads.processors(), processors) << "mask " << mask;
  }
  // As on Windows, a processor the system lacks is refused, and so is none.
  if (~system != 0) {
    EXPECT_FALSE(SetProcessAffinityMask(GetCurrentProcess(), system | (~system & (system + 1))));
  }
  EXPECT_FALSE(SetProcessAffinityMask(GetCurrentProcess(), 0));
  SetProcessAffinityMask(GetCurrentProcess(), system);
}

#ifdef __linux__
// The library's own threads count the processors the process may run on:
// its affinity mask (the highest processor alone leaves a gap below it), and
// a container's CPU quota, rounded up to whole processors.
TEST(Threads, StdThreadsCountTheAffinityMaskAndTheQuota) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  int highest = CPU_SETSIZE - 1;
  while (!CPU_ISSET(highest, &all)) --highest;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(highest, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(StdThreadProcessors(), 1);
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_GE(StdThreadProcessors(), 1);
  EXPECT_LE(StdThreadProcessors(), CPU_COUNT(&all));
  const struct {
    const char* line;
    int32_t processors;
  } quotas[] = {{"max 100000\n", 0}, {"100000 100000\n", 1}, {"100001 100000\n", 2}, {"50000 100000", 1},
                {"250000 100000", 3}, {"", 0}, {"200000 0", 0}, {"1 100000", 1}};
  for (const auto& q : quotas) EXPECT_EQ(CpuMaxProcessors(q.line), q.processors) << q.line;
}
#endif

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
    // Past the first success (a fallback to fewer threads) up to a countdown
    // that nothing reaches: every success is compared, the threaded one too.
    int successes = 0;
    int32_t result = -1;
    for (unsigned nth = 1; nth < 60; ++nth) {
      const size_t live = ShimLiveLocalBlocks();
      HLOCAL info = nullptr, pixels = nullptr;
      ShimFailAllocation(nth);
      result = GetPicture(reinterpret_cast<LPCSTR>(image.data()), LONG_PTR(image.size()), 1, &info, &pixels,
                          nullptr, 0);
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
    EXPECT_GT(successes, 1);
    EXPECT_EQ(result, 0) << "the countdown reached every allocation";
  }
  DWORD_PTR process = 0, system = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
  SetProcessAffinityMask(GetCurrentProcess(), system);
}

}  // namespace
