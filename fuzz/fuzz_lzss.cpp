// ExpandLzss on arbitrary streams with arbitrary length, capacity and limit:
// it reads only the stream, writes only the capacity, and produces exactly
// what the plain ring decoder produces.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "mca/mca_format.h"
#include "tests/support/plain_decoder.h"

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
  const size_t produced = ExpandLzss(stream.get(), length, out.get(), capacity, limit);
  FUZZ_CHECK(produced <= capacity);
  const std::vector<uint8_t> expected = PlainExpandLzss(stream.get(), length, capacity, limit);
  FUZZ_CHECK(produced == expected.size());
  FUZZ_CHECK(produced == 0 || std::memcmp(out.get(), expected.data(), produced) == 0);
  return 0;
}
