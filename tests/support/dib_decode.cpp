#include "tests/support/dib_decode.h"

#include "mca/api_support.h"

bool ProbedGeometry(const uint8_t* data, size_t size, McaGeometry* geometry) {
  mca_info info;
  switch (mca_probe_container(data, size, &info, nullptr)) {
    case MCA_HEAD_OUTSIDE:
    case MCA_BAD_PALETTE_COUNT:
    case MCA_PALETTE_OUTSIDE:
    case MCA_TABLE_OUTSIDE:
    case MCA_FRAME_HEAD_OUTSIDE: return false;
    default: *geometry = McaGeometry{info.width, info.height, kMcaDepth}; return true;
  }
}

mca_status DecodeDib(const uint8_t* data, size_t size, uint8_t* pixels, size_t stride, int32_t height,
                     const McaThreads* threads) {
  mca_options options;
  mca_default_options(&options);
  options.layout = MCA_LAYOUT_DIB;
  options.max_pixels = 0;
  options.max_dimension = 0;
  options.decode_damaged = 1;
  options.output_zeroed = 1;
  const McaThreads one = {1, 0, 0, nullptr, nullptr};
  const size_t bytes = height > 0 ? stride * size_t(height) : 0;
  return DecodeBuffer(McaSpan{data, size}, options, threads ? *threads : one, pixels, stride, bytes, nullptr);
}
