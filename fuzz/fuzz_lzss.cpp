// The expander on arbitrary streams with arbitrary length, capacity and limit:
// it reads only the stream, writes only the capacity, and produces exactly
// what the plain ring decoder produces. The same stream as a frame's payload,
// decoded over two threads (producer and consumer), gives the plain
// decoder's pixels.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "mca/container.h"
#include "tests/support/dib_decode.h"
#include "tests/support/whole_stream.h"
#include "tests/support/mca_builder.h"
#include "tests/support/plain_decoder.h"
#include "tests/support/test_threads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  // Byte 0: how the length relates to the stream; 1-2: capacity; 3-6: limit.
  const size_t capacity = size_t(data[1]) | size_t(data[2]) << 8;
  int32_t limit;
  std::memcpy(&limit, data + 3, 4);
  const size_t streamBytes = size - 7;
  int32_t length = int32_t(streamBytes);
  if (data[0] & 0x80) length = -int32_t(data[0] & 0x7F);  // nothing to expand
  else if (data[0] & 0x40) length = int32_t(streamBytes * (data[0] & 0x3F) / 64);  // a shorter stream

  // Exactly sized heap copies, so that any stray access lands outside them.
  std::unique_ptr<uint8_t[]> stream(new uint8_t[streamBytes ? streamBytes : 1]);
  std::memcpy(stream.get(), data + 7, streamBytes);
  std::unique_ptr<uint8_t[]> out(new uint8_t[capacity ? capacity : 1]);
  const size_t produced = ExpandWhole(stream.get(), length, out.get(), capacity, limit);
  FUZZ_CHECK(produced <= capacity);
  const std::vector<uint8_t> expected = PlainExpandLzss(stream.get(), length, capacity, limit);
  FUZZ_CHECK(produced == expected.size());
  FUZZ_CHECK(produced == 0 || std::memcmp(out.get(), expected.data(), produced) == 0);

  if (length >= 0 && (data[2] & 0xF0) == 0xF0) {
    // One compressed frame of rows of 1 to 16 pixels, 24-bit or indexes,
    // laid out by hand: the container builder's encoder would cost more
    // than the rest of a run.
    const bool indexed = data[1] & 1;
    const size_t paletteBytes = indexed ? 1024 : 0;
    Bytes image(48 + paletteBytes + 4 + 32, 0);
    std::memcpy(image.data(), "MCA", 3);
    PutLe32(image, 20, indexed ? 8 : 24);
    PutLe32(image, 24, indexed ? 256 : 0);
    PutLe32(image, 32, 1);
    for (size_t i = 0; i < paletteBytes; ++i) image[48 + i] = uint8_t(i * 7);
    const size_t head = 48 + paletteBytes + 4;
    PutLe32(image, head - 4, uint32_t(head));
    PutLe32(image, head, 1);
    PutLe32(image, head + 12, 1 + (data[2] & 15));        // width
    PutLe32(image, head + 16, 1 + uint32_t(capacity % 97));  // height
    PutLe32(image, head + 20, uint32_t(length));
    PutLe32(image, head + 24, uint32_t(limit));
    const Bytes payload = ScramblePayload(Bytes(stream.get(), stream.get() + length));
    image.insert(image.end(), payload.begin(), payload.end());
    PlainPicture plain;
    FUZZ_CHECK(PlainDecode(image.data(), image.size(), &plain));
    std::vector<uint8_t> pixels(plain.pixels.size() + 1, 0);
    const McaThreads threads = TestThreads(2);
    FUZZ_CHECK(DecodeDib(image.data(), image.size(), pixels.data(), plain.stride, plain.height, &threads) ==
               MCA_OK);
    FUZZ_CHECK(plain.pixels.empty() || std::memcmp(pixels.data(), plain.pixels.data(), plain.pixels.size()) == 0);
  }
  return 0;
}
