// The public API's arguments, on real pictures: strides, buffer sizes,
// scaled sizes, layouts, threads, limits and null pointers as the input
// chooses them. Every call answers a status, writes nothing past the buffer
// it was told of (a guard zone follows it), and a call that fails on its
// arguments writes nothing at all.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "mca/mca.h"
#include "tests/support/mca_builder.h"

namespace {

constexpr size_t kGuard = 64;
constexpr uint8_t kFill = 0xA5;

std::vector<Bytes> Pictures() {
  TestContainer rgb;
  rgb.frames = {RandomFrame(37, 11, 24, true, 1), RandomFrame(20, 5, 24, false, 2)};
  TestContainer indexed;
  indexed.pixelFormat = 8;
  for (uint32_t i = 0; i < 256; ++i) indexed.palette.push_back(i * 0x010203u);
  indexed.frames = {RandomFrame(13, 9, 8, false, 3), RandomFrame(16, 4, 8, true, 4)};
  return {BuildContainer(rgb), BuildContainer(indexed), SparseContainer(3, 2, 4)};
}

// Bytes read from the front of the input, zero once it runs out.
struct Input {
  const uint8_t* data;
  size_t size;
  uint64_t Take(size_t n) {
    uint64_t value = 0;
    for (size_t i = 0; i < n; ++i) value = value << 8 | (i < size ? data[i] : 0);
    const size_t used = n < size ? n : size;
    data += used;
    size -= used;
    return value;
  }
};

// A stride near the rows', or one that overflows any product.
size_t ChooseStride(Input* in, size_t rowBytes) {
  const uint64_t pick = in->Take(1);
  static const size_t kHuge[] = {size_t(1) << (sizeof(size_t) * 8 - 1), SIZE_MAX, SIZE_MAX / 3 + 1, 0};
  if (pick >= 252) return kHuge[pick - 252];
  return rowBytes + size_t(pick % 16) - 4;
}

bool IsStatus(mca_status status) { return unsigned(status) <= unsigned(MCA_SHORT_PAYLOADS); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<Bytes> pictures = Pictures();
  Input in{data, size};
  const uint64_t which = in.Take(1);
  const Bytes& picture = pictures[which % pictures.size()];
  mca_options options;
  mca_default_options(&options);
  options.layout = mca_layout(in.Take(1) % 6);  // 5: no such layout
  options.threads = uint32_t(in.Take(1) % 4);
  options.batch_bytes = uint32_t(in.Take(2));
  options.output_zeroed = int(in.Take(1) & 1);
  options.max_pixels = in.Take(1) & 1 ? in.Take(2) : MCA_DEFAULT_MAX_PIXELS;
  mca_info info;
  FUZZ_CHECK(mca_probe(picture.data(), picture.size(), &info, nullptr) == MCA_OK);
  // The size asked: the picture's own, or anything around it, negative too.
  const uint64_t sizePick = in.Take(1);
  int32_t width = info.width, height = info.height;
  if (sizePick & 1) {
    width = int32_t(int8_t(in.Take(1))) + (sizePick & 2 ? info.width : 0);
    height = int32_t(int8_t(in.Take(1))) + (sizePick & 4 ? info.height : 0);
  }
  size_t rowBytes = 0, allBytes = 0;
  const mca_status sized = mca_buffer_size(width, height, options.layout, &rowBytes, &allBytes, nullptr);
  FUZZ_CHECK(IsStatus(sized));
  if (sized != MCA_OK) rowBytes = allBytes = 0;
  const size_t stride = ChooseStride(&in, rowBytes);
  // The buffer as told: about what the rows need, a little more or less.
  const uint64_t rows = height > 1 && stride < (size_t(1) << 24) ? uint64_t(stride) * uint64_t(height - 1) + rowBytes
                                                                  : allBytes;
  const int64_t wanted = int64_t(rows < (uint64_t(1) << 24) ? rows : 0) + int64_t(in.Take(1) % 64) - 32;
  const size_t told = wanted < 0 ? 0 : size_t(wanted);
  std::vector<uint8_t> buffer(told + kGuard, kFill);
  uint8_t* out = in.Take(1) == 0 ? nullptr : buffer.data();
  mca_problem problem;
  mca_status status;
  if (sizePick & 8) {
    status = mca_decode(picture.data(), picture.size(), &options, out, stride, told, &problem);
  } else {
    status = mca_decode_sized(picture.data(), picture.size(), &options, width, height, out, stride, told, &problem);
  }
  FUZZ_CHECK(IsStatus(status));
  for (size_t i = told; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == kFill);
  if (status == MCA_BAD_ARGUMENT || status == MCA_BUFFER_TOO_SMALL) {
    for (size_t i = 0; i < told; ++i) FUZZ_CHECK(buffer[i] == kFill);
  }
  char words[64];
  std::memset(words, kFill, sizeof words);
  const size_t room = size_t(in.Take(1) % sizeof words);
  mca_describe(&problem, words, room);
  for (size_t i = room; i < sizeof words; ++i) FUZZ_CHECK(words[i] == char(kFill));
  if (room > 0) FUZZ_CHECK(std::memchr(words, 0, room) != nullptr);
  return 0;
}
