// The 64-bit plug-in at the boundary a 64-bit host sees: the register check
// itself (x86-64, whose callee-saved registers a hand-written plug-in could
// break), the 32-byte record, a full-width host data word, and the word of
// IsSupported tested over all 64 bits.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/host/checked_call.h"
#include "tests/support/plain_decoder.h"
#include "tests/host/loaded_plugin.h"

#if defined(__x86_64__)
extern "C" int32_t CleanCallee(int32_t a, int32_t b);
extern "C" int32_t RbxClobberingCallee();
extern "C" int32_t XmmClobberingCallee();
asm(R"(
  .text
  .globl CleanCallee
CleanCallee:
  leal (%rcx,%rdx), %eax
  ret
  .globl RbxClobberingCallee
RbxClobberingCallee:
  movq $1, %rbx
  movl $7, %eax
  ret
  .globl XmmClobberingCallee
XmmClobberingCallee:
  xorps %xmm7, %xmm7
  movl $9, %eax
  ret
)");
#endif

namespace {

TEST(Exports64, TenUndecoratedNames) {
  for (const char* name : {"GetPicture", "GetPictureInfo", "GetPluginInfo", "GetPreview", "IsSupported", "GetPictureW",
                           "GetPictureInfoW", "GetPluginInfoW", "GetPreviewW", "IsSupportedW"}) {
    EXPECT_NE(GetProcAddress(Plugin().module, name), nullptr) << name;
  }
}

#if defined(__x86_64__)
TEST(Exports64, RegisterCheckSeesClobberedRegisters) {
  const uintptr_t args[] = {5, 3};
  SpiCallCheck check{99, 99};
  EXPECT_EQ(int32_t(SpiCallChecked(reinterpret_cast<const void*>(CleanCallee), args, 2, &check)), 8);
  EXPECT_EQ(check.stackDelta, 0);
  EXPECT_EQ(check.clobbered, 0u);
  EXPECT_EQ(int32_t(SpiCallChecked(reinterpret_cast<const void*>(RbxClobberingCallee), args, 0, &check)), 7);
  EXPECT_EQ(check.clobbered, kClobberedRbx);
  EXPECT_EQ(int32_t(SpiCallChecked(reinterpret_cast<const void*>(XmmClobberingCallee), args, 0, &check)), 9);
  EXPECT_EQ(check.clobbered, kClobberedXmm6 << 1);
}
#endif

TEST(PictureInfo64, HandleSlotAtOffset24IsCleared) {
  const Bytes image = TwoFrameHeads();
  uint8_t record[40];
  std::memset(record, 0x7F, sizeof record);
  const SpiResult r = SpiGetPictureInfo(Plugin(), image.data(), intptr_t(image.size()), 1, record);
  ASSERT_EQ(r.value, 0);
  EXPECT_TRUE(CleanCall(r));
  int32_t width, height;
  std::memcpy(&width, record + 8, 4);
  std::memcpy(&height, record + 12, 4);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(record[20], 24);
  EXPECT_EQ(record[21], 0);
  for (int i = 24; i < 32; ++i) EXPECT_EQ(record[i], 0) << "hInfo byte " << i;
  for (size_t i = 32; i < sizeof record; ++i) EXPECT_EQ(record[i], 0x7F) << "past the record at " << i;
}

intptr_t seenData;
int32_t __stdcall RecordData(int32_t, int32_t, intptr_t data) {
  seenData = data;
  return 0;
}

TEST(GetPicture64, HostDataReachesTheCallbackAtFullWidth) {
  TestContainer c;
  c.frames = {RandomFrame(5, 3, 24, true, 64)};
  const Bytes image = BuildContainer(c);
  const intptr_t data = intptr_t(0x7EDCBA9876543210ll);
  for (bool unicode : {false, true}) {
    seenData = 0;
    HLOCAL info = nullptr, pixels = nullptr;
    const SpiResult r =
        unicode ? SpiGetPictureW(Plugin(), image.data(), intptr_t(image.size()), 1, &info, &pixels, RecordData, data)
                : SpiGetPicture(Plugin(), image.data(), intptr_t(image.size()), 1, &info, &pixels, RecordData, data);
    ASSERT_EQ(r.value, 0);
    EXPECT_TRUE(CleanCall(r));
    EXPECT_EQ(seenData, data) << unicode;
    LocalFree(info);
    LocalFree(pixels);
  }
}

TEST(IsSupported64, SmallWordsAreHandlesAndEveryOtherWordAnAddress) {
  // 0x7F is no open handle: the read fails and the answer is 0.
  EXPECT_EQ(SpiIsSupported(Plugin(), "x.mca", 0x7F).value, 0);
  EXPECT_EQ(SpiIsSupportedW(Plugin(), L"x.mca", 0x7F).value, 0);

  // Blocks at 64 KiB boundaries: low 16 bits zero, higher bits not. Where the
  // system gives one, also a block whose low 32 bits are all but zero, which
  // only a test of the whole word tells from a handle.
  std::vector<void*> blocks;
  blocks.push_back(VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  for (uintptr_t high = 1; high <= 64 && blocks.size() < 2; ++high) {
    void* b = VirtualAlloc(reinterpret_cast<void*>(high << 32), 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (b) blocks.push_back(b);
  }
  EXPECT_EQ(blocks.size(), 2u) << "no block at a 4 GiB boundary";
  for (void* block : blocks) {
    ASSERT_NE(block, nullptr);
    const uintptr_t word = reinterpret_cast<uintptr_t>(block);
    EXPECT_EQ(word & 0xFFFF, 0u);
    std::memcpy(block, "MCA", 3);
    EXPECT_EQ(SpiIsSupported(Plugin(), "x.bin", word).value, 1) << std::hex << word;
    EXPECT_EQ(SpiIsSupportedW(Plugin(), L"x.bin", word).value, 1) << std::hex << word;
    std::memcpy(block, "BM6", 3);
    EXPECT_EQ(SpiIsSupported(Plugin(), "x.mca", word).value, 0) << std::hex << word;
    VirtualFree(block, 0, MEM_RELEASE);
  }
}

}  // namespace
