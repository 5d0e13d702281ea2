// Options, threads and limits of the public calls.
#include <cstddef>
#include <cstring>

#include "mca/api_support.h"
#include "mca/payload_reach.h"
#include "mca/std_threads.h"

namespace {

// The size of the first mca_options that had a size: its last field is
// decode_damaged. Callers never pass fewer fields than these.
constexpr size_t kFirstOptionsSize = offsetof(mca_options, decode_damaged) + sizeof(int);

}  // namespace

void mca_default_options(mca_options* options) {
  *options = mca_options{};  // every other default is zero
  options->size = sizeof(mca_options);
  options->max_pixels = MCA_DEFAULT_MAX_PIXELS;
  options->max_dimension = MCA_DEFAULT_MAX_DIMENSION;
  options->level = MCA_DEFAULT_LEVEL;
}

int32_t mca_processors(void) {
#ifndef ZUVREK_NO_STD_THREADS
  return StdThreadProcessors();
#else
  return 1;
#endif
}

bool ResolveOptions(const mca_options* given, mca_options* options) {
  mca_default_options(options);
  if (!given) return true;
  if (given->size < kFirstOptionsSize) return false;
  // A caller built with more fields than this library knows: the ones it knows.
  std::memcpy(options, given, given->size < sizeof *options ? given->size : sizeof *options);
  options->size = sizeof *options;
  return true;
}

McaThreads ThreadsFor(const mca_options& options) {
  McaThreads threads{1, kMcaMinPixelBytesForThreads, options.batch_bytes ? options.batch_bytes : kMcaBatchBytes, nullptr,
                     nullptr};
#ifdef ZUVREK_NO_THREADS
  return threads;  // a platform without threads: the calling one alone
#endif
  const mca_thread_api* api = options.thread_api;
  if (api && api->start && api->join) {
    threads.start = api->start;
    threads.join = api->join;
  }
#ifndef ZUVREK_NO_STD_THREADS
  if (!api) {
    threads.start = StdThreadStart;
    threads.join = StdThreadJoin;
  }
#endif
  if (!threads.start) return threads;  // nothing can start a thread
  int64_t count = options.threads;
  if (count == 0) {
#ifndef ZUVREK_NO_STD_THREADS
    count = api && api->processors ? api->processors() : StdThreadProcessors();
#else
    count = api && api->processors ? api->processors() : 1;
#endif
  }
  threads.count = int32_t(count < 1 ? 1 : count > MCA_MAX_THREADS ? MCA_MAX_THREADS : count);
  return threads;
}

mca_status Fail(mca_problem* problem, mca_status status, int32_t frame, int64_t value, int64_t limit) {
  if (problem) *problem = mca_problem{status, frame, value, limit, 0, 0};
  return status;
}

mca_status FailOnSize(mca_problem* problem, mca_status status, int32_t width, int32_t height, int64_t value,
                      int64_t limit) {
  if (problem) *problem = mca_problem{status, -1, value, limit, width, height};
  return status;
}

mca_status CheckLimits(int32_t width, int32_t height, const mca_options& options, mca_problem* problem) {
  const uint32_t side = options.max_dimension;
  if (side != 0 && (uint32_t(width) > side || uint32_t(height) > side)) {
    return FailOnSize(problem, MCA_OVER_DIMENSION_LIMIT, width, height, width > height ? width : height, side);
  }
  const uint64_t pixels = uint64_t(width) * uint64_t(height);
  if (options.max_pixels != 0 && pixels > options.max_pixels) {
    return FailOnSize(problem, MCA_OVER_SIZE_LIMIT, width, height, int64_t(pixels), int64_t(options.max_pixels));
  }
  return MCA_OK;
}

mca_status CheckFill(const mca_info& info, const mca_options& options, mca_problem* problem) {
  const uint64_t pictureBytes = 3 * uint64_t(info.width) * uint64_t(info.height);
  if (options.decode_damaged || !PictureUnfilled(info.reach_bytes, pictureBytes)) return Succeed(problem);
  return FailOnSize(problem, MCA_SHORT_PAYLOADS, info.width, info.height, int64_t(info.reach_bytes),
                    int64_t(pictureBytes));
}

namespace {

// A side of 0 has no pixels; else the limits.
mca_status CheckSize(int32_t width, int32_t height, const mca_options& options, mca_problem* problem) {
  if (width < 0 || height < 0) return Fail(problem, MCA_BAD_ARGUMENT);
  if (width == 0 || height == 0) return FailOnSize(problem, MCA_NO_PIXELS, width, height, 0, 0);
  const mca_status status = CheckLimits(width, height, options, problem);
  return status == MCA_OK ? Succeed(problem) : status;
}

}  // namespace

mca_status mca_check_limits(int32_t width, int32_t height, const mca_options* options, mca_problem* problem) {
  mca_options resolved;
  if (!ResolveOptions(options, &resolved)) return Fail(problem, MCA_BAD_ARGUMENT);
  return CheckSize(width, height, resolved, problem);
}

mca_status mca_check_picture(const mca_info* info, int32_t width, int32_t height, const mca_options* options,
                             mca_problem* problem) {
  mca_options resolved;
  if (!info || !ResolveOptions(options, &resolved)) return Fail(problem, MCA_BAD_ARGUMENT);
  const mca_status status = CheckSize(width, height, resolved, problem);
  if (status != MCA_OK || width < info->width || height < info->height) return status;
  return CheckFill(*info, resolved, problem);
}
