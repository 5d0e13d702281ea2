// GetPicture of the shipped DLL, against pixels the plain decoder expects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/info_block.h"
#include "tests/support/plain_decoder.h"
#include "tests/host/loaded_plugin.h"

namespace {

struct Taken {
  SpiResult result{};
  HLOCAL info = reinterpret_cast<HLOCAL>(0x11);
  HLOCAL pixels = reinterpret_cast<HLOCAL>(0x22);
  Bytes infoBytes, pixelBytes;
};

Bytes Contents(HLOCAL block) {
  const uint8_t* p = static_cast<const uint8_t*>(LocalLock(block));
  Bytes out;
  if (p) out.assign(p, p + LocalSize(block));
  LocalUnlock(block);
  return out;
}

Taken TakePicture(const void* buf, int32_t len, uint32_t flag, SpiProgress progress = nullptr, intptr_t data = 0) {
  Taken t;
  t.result = SpiGetPicture(Plugin(), buf, len, flag, &t.info, &t.pixels, progress, data);
  if (t.result.value == 0) {
    EXPECT_EQ(LocalFlags(t.info) & LMEM_LOCKCOUNT, 0u) << "handed over locked";
    // Fixed blocks, as hosts that use the handles as pointers need; even a
    // 0-byte pixel block locks to an address.
    EXPECT_EQ(LocalLock(t.info), t.info);
    EXPECT_EQ(LocalLock(t.pixels), t.pixels);
    EXPECT_EQ(LocalFlags(t.pixels) & LMEM_LOCKCOUNT, 0u);
    t.infoBytes = Contents(t.info);
    t.pixelBytes = Contents(t.pixels);
    EXPECT_EQ(LocalFree(t.info), nullptr);
    EXPECT_EQ(LocalFree(t.pixels), nullptr);
  }
  return t;
}

Bytes Sample(uint32_t seed, int32_t format, int32_t scale = 1) {
  TestContainer c;
  c.pixelFormat = format;
  if (format == 8) {
    for (uint32_t i = 0; i < 256; ++i) c.palette.push_back(i * 0x00010101u ^ seed);
  }
  c.frames = {PictureFrame(37 * scale, 11 * scale, format, true, seed),
              RandomFrame(21 * scale, 5, format, false, seed + 1),
              PictureFrame(30 * scale, 9 * scale, format, true, seed + 2)};
  return BuildContainer(c);
}

PlainPicture Plain(const Bytes& image) {
  PlainPicture p;
  EXPECT_TRUE(PlainDecode(image.data(), image.size(), &p));
  return p;
}

struct Reports {
  int calls;
  int32_t numerator, denominator;
  intptr_t data;
  int32_t answer;
} reports;

int32_t __stdcall Progress(int32_t numerator, int32_t denominator, intptr_t data) {
  ++reports.calls;
  reports.numerator = numerator;
  reports.denominator = denominator;
  reports.data = data;
  return reports.answer;
}

TEST(GetPicture, FileAndMemoryModesDeliverTheExpectedBytes) {
  for (int32_t format : {24, 8}) {
    const Bytes image = Sample(7, format);
    const PlainPicture plain = Plain(image);
    WorkFile file("get_picture_" + std::to_string(format) + ".mca", image);
    const Taken fromFile = TakePicture(file.path(), 0, 0);
    const Taken fromMemory = TakePicture(image.data(), int32_t(image.size()), 1);
    ASSERT_EQ(fromFile.result.value, 0);
    ASSERT_EQ(fromMemory.result.value, 0);
    EXPECT_TRUE(CleanCall(fromFile.result));
    EXPECT_TRUE(CleanCall(fromMemory.result));
    EXPECT_EQ(fromFile.infoBytes, InfoBlock(37, 25));
    EXPECT_EQ(fromMemory.infoBytes, InfoBlock(37, 25));
    EXPECT_EQ(fromFile.pixelBytes, plain.pixels);
    EXPECT_EQ(fromMemory.pixelBytes, plain.pixels);
  }
}

TEST(GetPicture, CallbackIsCalledOnceAsStdcall) {
  const Bytes image = Sample(8, 24);
  reports = Reports{};
  Taken t = TakePicture(image.data(), int32_t(image.size()), 1, Progress, 0x7E57);
  EXPECT_EQ(t.result.value, 0);
  EXPECT_TRUE(CleanCall(t.result));
  EXPECT_EQ(reports.calls, 1);
  EXPECT_EQ(reports.numerator, 1);
  EXPECT_EQ(reports.denominator, 1);
  EXPECT_EQ(reports.data, 0x7E57);

  reports.answer = 1;
  t = TakePicture(image.data(), int32_t(image.size()), 1, Progress, 5);
  EXPECT_EQ(t.result.value, 8);
  EXPECT_TRUE(CleanCall(t.result));
  EXPECT_EQ(reports.calls, 2);
  EXPECT_EQ(t.info, nullptr);
  EXPECT_EQ(t.pixels, nullptr);
}

TEST(GetPicture, FailuresAndTheHandleVariables) {
  Taken t = TakePicture("no_such_picture.mca", 0, 0);
  EXPECT_EQ(t.result.value, 6);
  EXPECT_EQ(t.info, reinterpret_cast<HLOCAL>(0x11));
  EXPECT_EQ(t.pixels, reinterpret_cast<HLOCAL>(0x22));

  Bytes image = Sample(9, 24);
  Bytes broken(image.begin(), image.begin() + 50);
  t = TakePicture(broken.data(), int32_t(broken.size()), 1);
  EXPECT_EQ(t.result.value, 8);
  EXPECT_EQ(t.info, reinterpret_cast<HLOCAL>(0x11));

  TestContainer huge;
  TestFrame f;
  f.width = 30000;
  f.height = 30000;
  huge.frames = {f};
  const Bytes tooLarge = BuildContainer(huge);
  t = TakePicture(tooLarge.data(), int32_t(tooLarge.size()), 1);
  EXPECT_EQ(t.result.value, 4);
  EXPECT_TRUE(CleanCall(t.result));
  EXPECT_EQ(t.info, nullptr);
  EXPECT_EQ(t.pixels, nullptr);
}

TEST(GetPicture, EmptyContainer) {
  const Bytes image = BuildContainer(TestContainer{});
  const Taken t = TakePicture(image.data(), int32_t(image.size()), 1);
  ASSERT_EQ(t.result.value, 0);
  EXPECT_EQ(t.infoBytes, InfoBlock(0, 0));
  EXPECT_TRUE(t.pixelBytes.empty());
}

struct Job {
  std::string path;
  Bytes expected;
  int rounds;
  int mismatches;
};

DWORD WINAPI DecodeRepeatedly(LPVOID argument) {
  Job* job = static_cast<Job*>(argument);
  for (int i = 0; i < job->rounds; ++i) {
    HLOCAL info = nullptr, pixels = nullptr;
    const SpiResult r = SpiGetPicture(Plugin(), job->path.c_str(), 0, 0, &info, &pixels, nullptr, 0);
    if (r.value != 0 || !CleanCall(r)) {
      ++job->mismatches;
      continue;
    }
    if (Contents(pixels) != job->expected) ++job->mismatches;
    LocalFree(info);
    LocalFree(pixels);
  }
  return 0;
}

TEST(GetPicture, TwoThreadsDecodingDifferentFiles) {
  const Bytes a = Sample(20, 24, 4), b = Sample(30, 8, 4);
  WorkFile fileA("thread_a.mca", a), fileB("thread_b.mca", b);
  Job jobs[2] = {{fileA.path(), Plain(a).pixels, 20, 0}, {fileB.path(), Plain(b).pixels, 20, 0}};
  HANDLE threads[2];
  for (int i = 0; i < 2; ++i) threads[i] = CreateThread(nullptr, 0, DecodeRepeatedly, &jobs[i], 0, nullptr);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  for (int i = 0; i < 2; ++i) {
    CloseHandle(threads[i]);
    EXPECT_EQ(jobs[i].mismatches, 0) << i;
  }
}

}  // namespace
