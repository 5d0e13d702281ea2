// Decoding over several threads. Frames are independent (each restarts its
// mask and its stream) and land on rows known before decoding, so many
// frames go to the threads a frame at a time. A picture of few frames is
// split within each frame instead: a stored frame's rows go in ranges, one a
// thread, each through a frame stream of its own (the mask of any byte is
// known); a compressed frame's stream is produced on one thread and its rows
// placed on another, through a short queue of row batches. Each row is
// written by exactly one thread.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "mca/cpu_pause.h"
#include "mca/frame_stream.h"
#include "mca/mca.h"
#include "mca/container.h"
#include "mca/frame_rows.h"
#include "mca/parallel_frames.h"
#include "mca/mca_threads.h"

namespace {

constexpr size_t kSlots = 4;              // row batches in flight between producer and consumer

struct Context {
  McaSpan container;
  const McaFramePlan* plans;
  size_t count;
  int32_t pixelFormat;
  const McaCanvas* canvas;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
};

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

// A stored frame: thread t takes the rows of range t, by an atomic counter,
// each through a frame stream of its own that starts at the range's first row.
struct StoredSplit {
  const Context* c;
  const McaFramePlan* plan;
  size_t ranges;
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
};

void StoredWorker(void* argument) {
  StoredSplit& s = *static_cast<StoredSplit*>(argument);
  const FramePlacement& p = s.plan->placement;
  uint8_t* window = static_cast<uint8_t*>(std::malloc(FrameWindowSize(p.rowBytes, s.plan->needed)));
  if (!window) {
    s.failed = true;
    return;
  }
  for (size_t range; (range = s.next.fetch_add(1)) < s.ranges;) {
    const size_t from = p.rows * range / s.ranges, to = p.rows * (range + 1) / s.ranges;
    FrameStream stream;
    OpenFrameStream(s.c->container, s.plan->frame, p.rowBytes, to * p.rowBytes, window, &stream);
    SkipToStoredRow(&stream, from);
    for (size_t k = from; k < to; ++k) PlaceRow(p, k, NextFrameRow(&stream), s.c->pixelFormat, *s.c->canvas);
  }
  std::free(window);
}

// A compressed frame: the started thread produces the stream, a batch of
// rows at a time, each batch into a window of its own (carrying the history
// over), and the calling thread places the rows straight from those windows.
// A window is the producer's until its batch is published, then the
// consumer's until the batch is placed.
struct Pipeline {
  const Context* c;
  const McaFramePlan* plan;
  uint8_t* windows;
  size_t windowSize;
  size_t rowsPerBatch;
  size_t batches;
  const uint8_t* firstRow[kSlots];  // each batch's rows lie one after another from here
  // Batches produced and batches placed. Each side waits for the other by
  // spinning, then yielding: both run on processors of their own, and a
  // wait stays out of the kernel where a condition variable would not.
  std::atomic<size_t> produced{0};
  std::atomic<size_t> consumed{0};
};

// A batch takes tens of microseconds: a wait spins this many times before
// giving up the processor, so that it rarely costs a system call.
constexpr int kSpinsBeforeYielding = 4096;

template <typename Ready>
void AwaitTurn(Ready ready) {
  for (int spins = 0; !ready(); ++spins) {
    if (spins < kSpinsBeforeYielding) {
      CpuPause();
    } else {
      std::this_thread::yield();
    }
  }
}

size_t BatchRows(const Pipeline& q, size_t b) {
  const size_t first = b * q.rowsPerBatch;
  const size_t rows = q.plan->placement.rows;
  return rows - first < q.rowsPerBatch ? rows - first : q.rowsPerBatch;
}

// The producer thread: expands the frame batch by batch for the placing thread.
void ExpandFrameBatches(void* argument) {
  Pipeline& q = *static_cast<Pipeline*>(argument);
  const FramePlacement& p = q.plan->placement;
  FrameStream stream;
  OpenFrameStream(q.c->container, q.plan->frame, p.rowBytes, q.plan->needed, q.windows, &stream);
  stream.windowSize = q.windowSize;
  for (size_t b = 0; b < q.batches; ++b) {
    AwaitTurn([&] { return b - q.consumed.load(std::memory_order_acquire) < kSlots; });
    if (b > 0) MoveFrameStream(&stream, q.windows + (b % kSlots) * q.windowSize, q.windowSize);
    const size_t rows = BatchRows(q, b);
    stream.horizon = (b * q.rowsPerBatch + rows) * p.rowBytes;
    q.firstRow[b % kSlots] = NextFrameRow(&stream);
    for (size_t r = 1; r < rows; ++r) NextFrameRow(&stream);
    q.produced.store(b + 1, std::memory_order_release);
  }
}

void Consume(Pipeline& q) {
  const FramePlacement& p = q.plan->placement;
  for (size_t b = 0; b < q.batches; ++b) {
    AwaitTurn([&] { return q.produced.load(std::memory_order_acquire) > b; });
    const uint8_t* row = q.firstRow[b % kSlots];
    const size_t first = b * q.rowsPerBatch;
    for (size_t r = 0; r < BatchRows(q, b); ++r, row += p.rowBytes) {
      PlaceRow(p, first + r, row, q.c->pixelFormat, *q.c->canvas);
    }
    q.consumed.store(b + 1, std::memory_order_release);
  }
}

bool DecodeStoredFrame(const Context& c, const McaFramePlan& plan, const McaThreads& threads) {
  StoredSplit split;
  split.c = &c;
  split.plan = &plan;
  split.ranges = size_t(threads.count) * 4;  // several ranges a thread evens out the page faults
  RunOnThreads(threads, size_t(threads.count), StoredWorker, &split);
  return !split.failed;
}

bool DecodeCompressedFrame(const Context& c, const McaFramePlan& plan, const McaThreads& threads) {
  const FramePlacement& p = plan.placement;
  Pipeline q;
  q.c = &c;
  q.plan = &plan;
  const size_t batchBytes = threads.batchBytes ? threads.batchBytes : kMcaBatchBytes;
  q.rowsPerBatch = p.rowBytes < batchBytes ? batchBytes / p.rowBytes : 1;
  q.batches = (p.rows + q.rowsPerBatch - 1) / q.rowsPerBatch;
  if (q.batches < 2) return DecodeWholeFrame(c, plan);  // nothing to overlap
  q.windowSize = kFrameStreamMoveReserve + q.rowsPerBatch * p.rowBytes;
  q.windows = q.windowSize <= SIZE_MAX / kSlots ? static_cast<uint8_t*>(std::malloc(kSlots * q.windowSize)) : nullptr;
  void* producer = nullptr;
  const bool pipelined = q.windows && threads.start(ExpandFrameBatches, &q, &producer);
  if (pipelined) {
    Consume(q);
    threads.join(producer);
  }
  std::free(q.windows);
  // Without a second thread or the windows' memory, the frame is decoded here.
  return pipelined || DecodeWholeFrame(c, plan);
}

}  // namespace

bool DecodeCompressedFrameInParallel(McaSpan container, const McaFramePlan& plan, int32_t pixelFormat,
                                     const McaCanvas& canvas, const McaThreads& threads) {
  Context c;
  c.container = container;
  c.plans = &plan;
  c.count = 1;
  c.pixelFormat = pixelFormat;
  c.canvas = &canvas;
  return DecodeCompressedFrame(c, plan, threads);
}

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
