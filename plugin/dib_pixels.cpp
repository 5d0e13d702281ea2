#include "plugin/dib_pixels.h"

namespace {

// The host asked for the whole picture: its own size rules stand, no limits.
mca_options HostOptions() {
  mca_options options;
  mca_default_options(&options);
  options.max_pixels = 0;
  options.max_dimension = 0;
  return options;
}

}  // namespace

bool DibPictureFillable(const mca_info& geometry) {
  const mca_options options = HostOptions();
  return mca_check_picture(&geometry, geometry.width, geometry.height, &options, nullptr) != MCA_SHORT_PAYLOADS;
}

int FillDibPixels(const uint8_t* data, size_t size, uint8_t* pixels, ProgressCallback callback, intptr_t lData,
                  size_t stride, int32_t height, const mca_thread_api* threads) {
  mca_options options = HostOptions();
  options.layout = MCA_LAYOUT_DIB;
  options.output_zeroed = 1;  // the block comes zero-filled
  options.thread_api = threads;
  options.threads = threads ? 0 : 1;
  const size_t bytes = height > 0 ? stride * size_t(height) : 0;
  if (mca_decode(data, size, &options, pixels, stride, bytes, nullptr) != MCA_OK) return 0;
  if (callback && callback(1, 1, lData) != 0) return 0;
  return 1;
}
