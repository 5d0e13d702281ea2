// Our Win32 layer behaves as the plug-in relies on at each call.
#include <gtest/gtest.h>

#include "tests/support/temp_file.h"
#include "win32/win32_shim.h"

namespace {

TEST(LocalMemory, FixedBlockHandleIsItsAddress) {
  const size_t live = ShimLiveLocalBlocks();
  HLOCAL h = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, 10);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(LocalLock(h), h);
  EXPECT_EQ(LocalSize(h), 10u);
  EXPECT_EQ(static_cast<uint8_t*>(h)[9], 0);
  EXPECT_EQ(ShimLiveLocalBlocks(), live + 1);
  EXPECT_EQ(LocalFree(h), nullptr);
  EXPECT_EQ(ShimLiveLocalBlocks(), live);
}

TEST(LocalMemory, MoveableBlockLocksToAnotherAddressAndCountsLocks) {
  HLOCAL h = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 8);
  ASSERT_NE(h, nullptr);
  void* p = LocalLock(h);
  ASSERT_NE(p, nullptr);
  EXPECT_NE(p, h);
  EXPECT_EQ(LocalFlags(h), 1u);
  EXPECT_EQ(LocalLock(h), p);
  EXPECT_EQ(LocalFlags(h), 2u);
  EXPECT_EQ(LocalUnlock(h), TRUE);
  EXPECT_EQ(LocalUnlock(h), FALSE);
  EXPECT_EQ(LocalFlags(h), 0u);
  LocalFree(h);
}

TEST(LocalMemory, EmptyMoveableBlockLocksToNull) {
  HLOCAL h = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(LocalLock(h), nullptr);
  EXPECT_EQ(LocalSize(h), 0u);
  LocalFree(h);
}

TEST(LocalMemory, FailsTheNthAllocation) {
  ShimFailAllocation(3);
  HLOCAL a = LocalAlloc(LMEM_FIXED, 1);
  HLOCAL b = LocalAlloc(LMEM_FIXED, 1);
  HLOCAL c = LocalAlloc(LMEM_FIXED, 1);
  HLOCAL d = LocalAlloc(LMEM_FIXED, 1);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(d, nullptr);
  LocalFree(a);
  LocalFree(b);
  LocalFree(d);
}

TEST(LocalMemory, FreeingAFreedBlockStopsTheProgram) {
  EXPECT_DEATH(
      {
        HLOCAL h = LocalAlloc(LMEM_FIXED, 4);
        LocalFree(h);
        LocalFree(h);
      },
      "");
}

TEST(Files, ShareModeZeroIsExclusive) {
  TempFile file(Bytes{1, 2, 3});
  HANDLE a = CreateFileA(file.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  EXPECT_LE(reinterpret_cast<uintptr_t>(a), 0xFFFFu);
  EXPECT_EQ(CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  CloseHandle(a);
  HANDLE b = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE c = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(b, INVALID_HANDLE_VALUE);
  EXPECT_NE(c, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(file.path(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  CloseHandle(b);
  CloseHandle(c);
}

TEST(Files, SizeAndReads) {
  TempFile file(Bytes{1, 2, 3, 4, 5});
  HANDLE h = CreateFileA(file.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 5u);
  EXPECT_EQ(high, 0u);
  uint8_t buf[8] = {};
  DWORD read = 0;
  EXPECT_EQ(ReadFile(h, buf, 3, &read, nullptr), TRUE);
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(ReadFile(h, buf, 8, &read, nullptr), TRUE);
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(buf[0], 4);
  EXPECT_EQ(CloseHandle(h), TRUE);
  EXPECT_EQ(CloseHandle(h), FALSE);
  EXPECT_EQ(ReadFile(h, buf, 1, &read, nullptr), FALSE);
}

}  // namespace
