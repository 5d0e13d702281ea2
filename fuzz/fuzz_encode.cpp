// The encoder on arbitrary pixels and options: every picture it writes
// decodes to exactly those pixels, and written again after itself as the
// template, it keeps every byte but the payloads' and decodes the same.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "mca/mca.h"

namespace {

struct Memory {
  std::vector<uint8_t> file;
  static int Write(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
    std::vector<uint8_t>& f = static_cast<Memory*>(context)->file;
    if (f.size() < offset + size) f.resize(offset + size);
    std::memcpy(f.data() + offset, bytes, size);
    return 1;
  }
};

struct Rows {
  const uint8_t* rgb;
  size_t rowBytes;
  static int Row(void* context, int32_t y, uint8_t* into) {
    const Rows& r = *static_cast<const Rows*>(context);
    std::memcpy(into, r.rgb + r.rowBytes * size_t(y), r.rowBytes);
    return 0;
  }
};

std::vector<uint8_t> Encode(const std::vector<uint8_t>& rgb, int32_t width, int32_t height, const mca_options& o,
                            mca_status* status) {
  Rows rows{rgb.data(), 3 * size_t(width)};
  Memory memory;
  const mca_row_source source{Rows::Row, &rows};
  const mca_writer writer{Memory::Write, &memory};
  *status = mca_encode(width, height, &o, &source, &writer, nullptr);
  return memory.file;
}

void CheckDecodes(const std::vector<uint8_t>& file, const std::vector<uint8_t>& rgb, int32_t width, int32_t height) {
  std::vector<uint8_t> out(rgb.size());
  FUZZ_CHECK(mca_decode(file.data(), file.size(), nullptr, out.data(), 3 * size_t(width), out.size(), nullptr) ==
             MCA_OK);
  FUZZ_CHECK(out == rgb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // Byte 0: the width; byte 1: depth, level, threads; byte 2: the band and
  // how many of each byte's bits the pixels keep (few colours, long runs).
  const int32_t width = 1 + data[0] % 64;
  const int32_t height = int32_t((size - 3) / (3 * size_t(width)));
  if (height == 0) return 0;
  mca_options o;
  mca_default_options(&o);
  o.depth = (data[1] & 3) == 1 ? 8 : (data[1] & 3) == 2 ? 24 : 0;
  o.level = (data[1] >> 2) % (MCA_MAX_LEVEL + 1);
  o.threads = 1 + (data[1] >> 4 & 3);
  o.band_height = data[2] & 15;
  const uint8_t keep = uint8_t(0xFF << (data[2] >> 4 & 7));
  std::vector<uint8_t> rgb(3 * size_t(width) * size_t(height));
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = data[3 + i] & keep;
  mca_status status;
  const std::vector<uint8_t> file = Encode(rgb, width, height, o, &status);
  if (status == MCA_TOO_MANY_COLOURS) return 0;  // depth 8 asked of a picture of more colours
  FUZZ_CHECK(status == MCA_OK);
  CheckDecodes(file, rgb, width, height);

  mca_options again;
  mca_default_options(&again);
  again.like = file.data();
  again.like_size = file.size();
  again.level = (o.level + 1) % (MCA_MAX_LEVEL + 1);
  const std::vector<uint8_t> copy = Encode(rgb, width, height, again, &status);
  FUZZ_CHECK(status == MCA_OK);
  CheckDecodes(copy, rgb, width, height);
  // The same head, palette and frame heads but for the payload sizes (and
  // offsets, which follow them).
  mca_info info;
  FUZZ_CHECK(mca_probe(copy.data(), copy.size(), &info, nullptr) == MCA_OK);
  const size_t table = 48 + 4 * size_t(info.palette_count);
  FUZZ_CHECK(copy.size() >= table && std::memcmp(copy.data(), file.data(), table) == 0);
  return 0;
}
