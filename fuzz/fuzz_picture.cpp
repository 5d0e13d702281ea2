// GetPictureInfo and GetPicture in memory mode on arbitrary bytes, and the
// public API's probe and scaled decode through a reader: results are
// interface codes, blocks have their exact sizes, the pixels are those of the
// plain decoder (also when decoded over several threads, and as the public
// API's top-down RGB rows), and nothing stays allocated.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "mca/mca.h"
#include "mca/container.h"
#include "tests/support/dib_decode.h"
#include "mca/mca_threads.h"
#include "plugin/plugin_api.h"
#include "tests/support/collected_rows.h"
#include "tests/support/plain_decoder.h"
#include "tests/support/test_threads.h"

namespace {

// Larger pictures would only measure the machine; below this size GetPicture
// decodes on the calling thread, and the threaded decode is checked apart.
constexpr uint64_t kLargestDecoded = kMcaMinPixelBytesForThreads - 1;
constexpr uint64_t kLargestCompared = 4u << 20;  // the plain decoder takes a picture-sized buffer per frame
constexpr uint64_t kLargestPixelBlock = 0x7FFFFFFFu - 4;

HLOCAL const kUnset = reinterpret_cast<HLOCAL>(0x10);

int32_t FrameCount(const uint8_t* data, size_t size) {
  if (size < 36) return 0;
  int32_t count;
  std::memcpy(&count, data + 32, 4);
  return count;
}

// Data served to a reader from memory, every read checked against its end.
struct MemoryReader {
  const uint8_t* data;
  size_t size;
  static int Read(void* context, uint64_t offset, uint8_t* into, size_t count) {
    const MemoryReader& m = *static_cast<MemoryReader*>(context);
    FUZZ_CHECK(offset <= m.size && count <= m.size - offset);
    std::memcpy(into, m.data + offset, count);
    return 1;
  }
  mca_reader Api() { return mca_reader{Read, this, size}; }
};

// The public API's top-down paths against the plain decoder's block: the
// buffer (RGB and BGR) and the row sink give its pixels, and a scaled decode gives every
// row of the size asked for, once, in order.
void CheckRgbPaths(const uint8_t* data, size_t size, const PlainPicture& plain) {
  const size_t rowBytes = 3 * size_t(plain.width);
  std::vector<uint8_t> expected;
  for (int32_t y = 0; y < plain.height; ++y) {
    const uint8_t* row = plain.pixels.data() + size_t(plain.height - 1 - y) * plain.stride;
    for (size_t x = 0; x < rowBytes; ++x) expected.push_back(row[x - x % 3 + 2 - x % 3]);
  }
  mca_options options;
  mca_default_options(&options);
  options.max_pixels = 0;  // the plug-in's pictures, whatever their shape
  options.max_dimension = 0;
  std::vector<uint8_t> buffer(expected.size() + 1, 0xA5);
  FUZZ_CHECK(mca_decode(data, size, &options, buffer.data(), rowBytes, buffer.size(), nullptr) == MCA_OK);
  FUZZ_CHECK(std::equal(expected.begin(), expected.end(), buffer.begin()) && buffer.back() == 0xA5);

  // Top-down BGR: the block's rows reversed, without their padding.
  options.layout = MCA_LAYOUT_BGR;
  std::fill(buffer.begin(), buffer.end(), 0xA5);
  FUZZ_CHECK(mca_decode(data, size, &options, buffer.data(), rowBytes, buffer.size(), nullptr) == MCA_OK);
  for (int32_t y = 0; y < plain.height; ++y) {
    const uint8_t* row = plain.pixels.data() + size_t(plain.height - 1 - y) * plain.stride;
    FUZZ_CHECK(std::equal(row, row + rowBytes, buffer.begin() + ptrdiff_t(size_t(y) * rowBytes)));
  }
  FUZZ_CHECK(buffer.back() == 0xA5);
  options.layout = MCA_LAYOUT_RGB;

  CollectedRows rows;
  rows.rowBytes = rowBytes;
  const mca_row_sink sink = CollectRows(&rows);
  FUZZ_CHECK(mca_decode_rows(data, size, &options, &sink, nullptr) == MCA_OK);
  FUZZ_CHECK(rows.inOrder && rows.count == plain.height && rows.rgb == expected);

  if (plain.height <= 0) return;
  const int32_t width = 1 + int32_t(size % uint32_t(plain.width));
  const int32_t height = 1 + int32_t(size / 7 % uint32_t(plain.height));
  CollectedRows scaled;
  scaled.rowBytes = 3 * size_t(width);
  const mca_row_sink scaledSink = CollectRows(&scaled);
  FUZZ_CHECK(mca_decode_scaled(data, size, &options, width, height, &scaledSink, nullptr) == MCA_OK);
  FUZZ_CHECK(scaled.inOrder && scaled.count == height);
  // The same rows read through a reader.
  MemoryReader memory{data, size};
  const mca_reader reader = memory.Api();
  CollectedRows read;
  read.rowBytes = scaled.rowBytes;
  const mca_row_sink readSink = CollectRows(&read);
  FUZZ_CHECK(mca_decode_scaled_reader(&reader, &options, width, height, &readSink, nullptr) == MCA_OK);
  FUZZ_CHECK(read.inOrder && read.rgb == scaled.rgb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t live = ShimLiveLocalBlocks();
  LPCSTR buf = reinterpret_cast<LPCSTR>(data);

  PictureInfo info;
  std::memset(&info, 0xAB, sizeof info);
  // The probe through a reader answers as the probe over memory.
  mca_info fromMemory{}, fromReader{};
  mca_problem memoryProblem{}, readerProblem{};
  MemoryReader memory{data, size};
  const mca_reader reader = memory.Api();
  FUZZ_CHECK(mca_probe(data, size, &fromMemory, &memoryProblem) ==
             mca_probe_reader(&reader, &fromReader, &readerProblem));
  FUZZ_CHECK(std::memcmp(&fromMemory, &fromReader, sizeof fromMemory) == 0);
  FUZZ_CHECK(std::memcmp(&memoryProblem, &readerProblem, sizeof memoryProblem) == 0);

  const int32_t infoResult = GetPictureInfo(buf, LONG_PTR(size), 1, &info);
  FUZZ_CHECK(infoResult == 0 || infoResult == 8);
  if (infoResult != 0) {
    HLOCAL hInfo = kUnset, hPixels = kUnset;
    FUZZ_CHECK(GetPicture(buf, LONG_PTR(size), 1, &hInfo, &hPixels, nullptr, 0) == 8);
    FUZZ_CHECK(hInfo == kUnset && hPixels == kUnset);
    FUZZ_CHECK(ShimLiveLocalBlocks() == live);
    return 0;
  }
  FUZZ_CHECK(info.left == 0 && info.top == 0 && info.colorDepth == 24 && info.textInfo == 0);
  FUZZ_CHECK(info.xDensity == 1 && info.yDensity == 1 && info.width >= 0);

  const uint64_t stride = uint64_t(McaRowStride(info.width));
  const bool fits = info.height >= 0 && (info.height == 0 || stride <= kLargestPixelBlock / uint64_t(info.height));
  const uint64_t pixelBytes = fits ? stride * uint64_t(info.height) : 0;
  if (fits && pixelBytes > kLargestDecoded) return 0;

  HLOCAL hInfo = kUnset, hPixels = kUnset;
  const int32_t result = GetPicture(buf, LONG_PTR(size), 1, &hInfo, &hPixels, nullptr, 0);
  if (!fits) FUZZ_CHECK(result == 4);
  FUZZ_CHECK(result == 0 || result == 4 || result == 8);
  if (result != 0) {
    FUZZ_CHECK(hInfo == nullptr && hPixels == nullptr);
    FUZZ_CHECK(ShimLiveLocalBlocks() == live);
    return 0;
  }
  FUZZ_CHECK(LocalSize(hInfo) == 1068);
  FUZZ_CHECK(LocalSize(hPixels) == pixelBytes);
  FUZZ_CHECK(LocalFlags(hInfo) == 0 && LocalFlags(hPixels) == 0);
  const uint8_t* head = static_cast<const uint8_t*>(LocalLock(hInfo));
  int32_t width, height;
  std::memcpy(&width, head + 4, 4);
  std::memcpy(&height, head + 8, 4);
  FUZZ_CHECK(width == info.width && height == info.height);
  for (size_t i = 40; i < 1068; ++i) FUZZ_CHECK(head[i] == 0);
  LocalUnlock(hInfo);

  const int32_t frames = FrameCount(data, size);
  if (pixelBytes * uint64_t(frames > 0 ? frames : 1) <= kLargestCompared) {
    PlainPicture plain;
    FUZZ_CHECK(PlainDecode(data, size, &plain));
    const uint8_t* pixels = static_cast<const uint8_t*>(LocalLock(hPixels));
    FUZZ_CHECK(plain.pixels.size() == pixelBytes);
    FUZZ_CHECK(pixelBytes == 0 || std::memcmp(pixels, plain.pixels.data(), pixelBytes) == 0);
    if (pixels) LocalUnlock(hPixels);

    // The same picture over threads, whatever its size, with the thread
    // count and the batch size taken from the input's last bytes.
    std::vector<uint8_t> threaded(pixelBytes + 1, 0);
    static constexpr int32_t kCounts[] = {2, 3, 4, 17, 64};
    McaThreads threads = TestThreads(kCounts[data[size - 1] % 5]);
    threads.batchBytes = 1 + uint32_t(data[size - 2]) * 97;
    FUZZ_CHECK(DecodeDib(data, size, threaded.data(), size_t(stride), info.height, &threads) == MCA_OK);
    FUZZ_CHECK(pixelBytes == 0 || std::memcmp(threaded.data(), plain.pixels.data(), pixelBytes) == 0);
    // A picture without width is a row count only: millions of empty rows
    // would measure the sink, not the decoder.
    if (plain.width > 0) CheckRgbPaths(data, size, plain);
  }
  LocalFree(hInfo);
  LocalFree(hPixels);
  FUZZ_CHECK(ShimLiveLocalBlocks() == live);
  return 0;
}
