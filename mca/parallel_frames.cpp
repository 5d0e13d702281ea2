// Decoding over several threads. Frames are independent (each restarts its
// mask and its stream) and land on rows known before decoding, so many
// frames go to the threads a frame at a time. A picture of few frames is
// split within each frame instead: a stored frame's rows are descrambled in
// ranges, one a thread (the mask of any byte is known); a compressed frame's
// stream is produced on one thread and its rows placed on another, through a
// short queue of row batches. Each row is written by exactly one thread.
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "mca/frame_stream.h"
#include "mca/mca_format.h"
#include "mca/mca_threads.h"

namespace {

constexpr size_t kMaxThreads = 16;
constexpr size_t kSlots = 4;                   // row batches in flight between producer and consumer
constexpr size_t kSlotBytes = 64 * 1024;       // a batch's size, so that the queue stays in cache

struct Context {
  McaSpan container;
  const McaFramePlan* plans;
  size_t count;
  int32_t pixelFormat;
  const McaCanvas* canvas;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
};

// Runs `run(argument)` on up to threads.count threads, the calling one last;
// threads that cannot be started leave their share to the others.
void RunOnThreads(const McaThreads& threads, size_t wanted, void (*run)(void*), void* argument) {
  void* started[kMaxThreads];
  size_t n = 0;
  while (n + 1 < wanted && n < kMaxThreads && threads.start(run, argument, &started[n])) ++n;
  run(argument);
  for (size_t i = 0; i < n; ++i) threads.join(started[i]);
}

bool DecodeWholeFrame(const Context& c, const McaFramePlan& plan) {
  uint8_t* window = static_cast<uint8_t*>(std::malloc(FrameWindowSize(plan.placement.rowBytes, plan.needed)));
  if (!window) return false;
  FrameStream stream;
  OpenFrameStream(c.container, plan.frame, plan.placement.rowBytes, plan.needed, window, &stream);
  for (size_t k = 0; k < plan.placement.rows; ++k) {
    PlaceRow(plan.placement, k, NextFrameRow(&stream), c.pixelFormat, *c.canvas);
  }
  std::free(window);
  return true;
}

void FrameWorker(void* argument) {
  Context& c = *static_cast<Context*>(argument);
  for (size_t i; !c.failed && (i = c.next.fetch_add(1)) < c.count;) {
    if (!DecodeWholeFrame(c, c.plans[i])) c.failed = true;
  }
}

// A stored frame: thread t takes the rows of range t, by an atomic counter.
struct StoredSplit {
  const Context* c;
  const McaFramePlan* plan;
  DescrambleMask mask;
  size_t ranges;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
};

void StoredWorker(void* argument) {
  StoredSplit& s = *static_cast<StoredSplit*>(argument);
  const FramePlacement& p = s.plan->placement;
  const uint8_t* payload = s.c->container.data + s.plan->frame.payloadOffset;
  const size_t stored = size_t(s.plan->frame.storedSize);
  const McaCanvas& canvas = *s.c->canvas;
  // 24-bit rows of a bottom-up canvas are the payload's bytes themselves;
  // other rows go through a row of their own.
  const bool direct = s.c->pixelFormat != kMcaIndexedFormat && !canvas.topDownRgb;
  uint8_t* row = direct ? nullptr : static_cast<uint8_t*>(std::malloc(p.rowBytes));
  if (!direct && !row) {
    s.failed = true;
    return;
  }
  for (size_t range; (range = s.next.fetch_add(1)) < s.ranges;) {
    const size_t from = p.rows * range / s.ranges, to = p.rows * (range + 1) / s.ranges;
    for (size_t k = from; k < to; ++k) {
      const size_t at = k * p.rowBytes;
      const size_t have = at < stored ? (stored - at < p.rowBytes ? stored - at : p.rowBytes) : 0;
      if (direct) {
        // Bytes past the payload stay as the zero-filled block has them.
        ApplyDescrambleMask(s.mask, payload + at, FrameRowAddress(p, k, canvas), at, have < p.bytes ? have : p.bytes);
      } else {
        ApplyDescrambleMask(s.mask, payload + at, row, at, have);
        std::memset(row + have, 0, p.rowBytes - have);
        PlaceRow(p, k, row, s.c->pixelFormat, canvas);
      }
    }
  }
  std::free(row);
}

// A compressed frame: the started thread produces the stream into batches,
// the calling thread places them.
struct Pipeline {
  const Context* c;
  const McaFramePlan* plan;
  uint8_t* slots;
  size_t rowsPerSlot;
  size_t rowCopy;  // bytes of a row that placing reads
  size_t batches;
  uint8_t* window;
  std::mutex lock;
  std::condition_variable changed;
  size_t produced = 0;
  size_t consumed = 0;
};

void Produce(void* argument) {
  Pipeline& q = *static_cast<Pipeline*>(argument);
  const FramePlacement& p = q.plan->placement;
  FrameStream stream;
  OpenFrameStream(q.c->container, q.plan->frame, p.rowBytes, q.plan->needed, q.window, &stream);
  for (size_t b = 0; b < q.batches; ++b) {
    {
      std::unique_lock<std::mutex> guard(q.lock);
      q.changed.wait(guard, [&] { return q.produced - q.consumed < kSlots; });
    }
    uint8_t* slot = q.slots + (b % kSlots) * q.rowsPerSlot * q.rowCopy;
    const size_t first = b * q.rowsPerSlot;
    const size_t rows = p.rows - first < q.rowsPerSlot ? p.rows - first : q.rowsPerSlot;
    for (size_t r = 0; r < rows; ++r) std::memcpy(slot + r * q.rowCopy, NextFrameRow(&stream), q.rowCopy);
    {
      std::lock_guard<std::mutex> guard(q.lock);
      ++q.produced;
    }
    q.changed.notify_all();
  }
}

void Consume(Pipeline& q) {
  const FramePlacement& p = q.plan->placement;
  for (size_t b = 0; b < q.batches; ++b) {
    {
      std::unique_lock<std::mutex> guard(q.lock);
      q.changed.wait(guard, [&] { return q.produced > b; });
    }
    const uint8_t* slot = q.slots + (b % kSlots) * q.rowsPerSlot * q.rowCopy;
    const size_t first = b * q.rowsPerSlot;
    const size_t rows = p.rows - first < q.rowsPerSlot ? p.rows - first : q.rowsPerSlot;
    for (size_t r = 0; r < rows; ++r) PlaceRow(p, first + r, slot + r * q.rowCopy, q.c->pixelFormat, *q.c->canvas);
    {
      std::lock_guard<std::mutex> guard(q.lock);
      ++q.consumed;
    }
    q.changed.notify_all();
  }
}

bool DecodeStoredFrame(const Context& c, const McaFramePlan& plan, const McaThreads& threads) {
  StoredSplit split;
  split.c = &c;
  split.plan = &plan;
  BuildDescrambleMask(plan.frame.storedSize, &split.mask);
  split.ranges = size_t(threads.count) * 4;  // several ranges a thread evens out the page faults
  RunOnThreads(threads, size_t(threads.count), StoredWorker, &split);
  return !split.failed;
}

bool DecodeCompressedFrame(const Context& c, const McaFramePlan& plan, const McaThreads& threads) {
  const FramePlacement& p = plan.placement;
  Pipeline q;
  q.c = &c;
  q.plan = &plan;
  q.rowCopy = c.pixelFormat == kMcaIndexedFormat ? p.pixels : p.bytes;
  q.rowsPerSlot = q.rowCopy < kSlotBytes ? kSlotBytes / q.rowCopy : 1;
  q.batches = (p.rows + q.rowsPerSlot - 1) / q.rowsPerSlot;
  if (q.batches < 2) return DecodeWholeFrame(c, plan);  // nothing to overlap
  q.window = static_cast<uint8_t*>(std::malloc(FrameWindowSize(p.rowBytes, plan.needed)));
  if (!q.window) return false;
  q.slots = static_cast<uint8_t*>(std::malloc(kSlots * q.rowsPerSlot * q.rowCopy));
  void* producer = nullptr;
  const bool pipelined = q.slots && threads.start(Produce, &q, &producer);
  if (pipelined) {
    Consume(q);
    threads.join(producer);
  }
  std::free(q.slots);
  std::free(q.window);
  // Without a second thread or the queue's memory, the frame is decoded here.
  return pipelined || DecodeWholeFrame(c, plan);
}

}  // namespace

bool DecodeFramesInParallel(McaSpan container, const McaFramePlan* plans, size_t count, int32_t pixelFormat,
                            const McaCanvas& canvas, const McaThreads& threads) {
  Context c;
  c.container = container;
  c.plans = plans;
  c.count = count;
  c.pixelFormat = pixelFormat;
  c.canvas = &canvas;
  if (count >= 2 * size_t(threads.count)) {
    RunOnThreads(threads, size_t(threads.count), FrameWorker, &c);
    return !c.failed;
  }
  for (size_t i = 0; i < count; ++i) {
    const bool ok = plans[i].frame.compression != 0 ? DecodeCompressedFrame(c, plans[i], threads)
                                                    : DecodeStoredFrame(c, plans[i], threads);
    if (!ok) return false;
  }
  return true;
}
