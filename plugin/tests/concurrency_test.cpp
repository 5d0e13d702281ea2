// Calls from several threads at once give what single calls give.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "plugin/plugin_api.h"
#include "tests/support/mca_builder.h"
#include "tests/support/temp_file.h"

namespace {

Bytes Sample(uint32_t seed) {
  TestContainer c;
  c.pixelFormat = seed % 2 ? 8 : 24;
  if (c.pixelFormat == 8) c.palette.assign(256, 0x00808080 ^ seed);
  c.frames = {PictureFrame(40, 12, c.pixelFormat, true, seed), RandomFrame(33, 4, c.pixelFormat, false, seed + 1)};
  return BuildContainer(c);
}

// The pixel block of one call, or empty on failure.
Bytes Pixels(LPCSTR buf, LONG_PTR len, uint32_t flag) {
  HLOCAL info = nullptr, pixels = nullptr;
  if (GetPicture(buf, len, flag, &info, &pixels, nullptr, 0) != 0) return {};
  const uint8_t* p = static_cast<const uint8_t*>(LocalLock(pixels));
  Bytes out(p, p + LocalSize(pixels));
  LocalUnlock(pixels);
  LocalFree(info);
  LocalFree(pixels);
  return out;
}

TEST(Concurrency, ThreadsAgreeWithSingleCalls) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  const Bytes shared = Sample(1);
  const Bytes sharedPixels = Pixels(reinterpret_cast<LPCSTR>(shared.data()), LONG_PTR(shared.size()), 1);
  ASSERT_FALSE(sharedPixels.empty());
  std::vector<Bytes> own;
  std::vector<Bytes> ownPixels;
  std::vector<std::unique_ptr<TempFile>> files;
  for (int t = 0; t < kThreads; ++t) {
    own.push_back(Sample(uint32_t(10 + t)));
    files.push_back(std::make_unique<TempFile>(own.back()));
    ownPixels.push_back(Pixels(files.back()->path(), 0, 0));
    ASSERT_FALSE(ownPixels.back().empty());
  }
  const size_t live = ShimLiveLocalBlocks();
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        // The same memory image in every thread, and a file of its own.
        if (Pixels(reinterpret_cast<LPCSTR>(shared.data()), LONG_PTR(shared.size()), 1) != sharedPixels) ++mismatches[t];
        if (Pixels(files[size_t(t)]->path(), 0, 0) != ownPixels[size_t(t)]) ++mismatches[t];
        PictureInfo info{};
        if (GetPictureInfo(reinterpret_cast<LPCSTR>(own[size_t(t)].data()), LONG_PTR(own[size_t(t)].size()), 1, &info) != 0 ||
            info.width != 40 || info.height != 16) {
          ++mismatches[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[size_t(t)], 0) << t;
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
}

}  // namespace
