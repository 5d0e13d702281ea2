#include "mcadec/row_pipe.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr size_t kRingBytes = 8 << 20;  // rows in flight
constexpr size_t kBands = 4;            // each side wakes the other a band at a time
constexpr size_t kMaxRingRows = 1024;   // narrow pictures: enough rows to wake the other side seldom

struct Pipe {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<uint8_t> ring;
  size_t rowBytes = 0;
  size_t slots = 1;
  size_t band = 1;
  int64_t produced = 0, consumed = 0;
  int32_t height = 0;
  bool begun = false, finished = false, cancelled = false;
  mca_status status = MCA_OK;
  const mca_row_sink* writer = nullptr;
};

int Begin(void* context, int32_t width, int32_t height) {
  Pipe& p = *static_cast<Pipe*>(context);
  const int stop = p.writer->begin ? p.writer->begin(p.writer->context, width, height) : 0;
  std::lock_guard<std::mutex> guard(p.lock);
  p.rowBytes = 3 * size_t(width);
  p.height = height;
  p.slots = p.rowBytes == 0 ? 1 : std::max<size_t>(kBands, std::min(kRingBytes / p.rowBytes, kMaxRingRows));
  p.slots -= p.slots % kBands;
  p.band = p.slots / kBands;
  p.ring.resize(p.slots * p.rowBytes);
  p.begun = true;
  p.cancelled |= stop != 0;
  p.changed.notify_all();
  return stop;
}

int Put(void* context, int32_t y, const uint8_t* rgb) {
  Pipe& p = *static_cast<Pipe*>(context);
  std::unique_lock<std::mutex> guard(p.lock);
  p.changed.wait(guard, [&] { return p.cancelled || p.produced - p.consumed < int64_t(p.slots); });
  if (p.cancelled) return 1;
  guard.unlock();
  std::memcpy(&p.ring[size_t(y) % p.slots * p.rowBytes], rgb, p.rowBytes);
  guard.lock();
  ++p.produced;
  if (p.produced % int64_t(p.band) == 0 || p.produced == p.height) p.changed.notify_all();
  return 0;
}

}  // namespace

mca_status DecodeBesideWriter(const std::function<mca_status(const mca_row_sink&)>& decode,
                              const mca_row_sink& writer) {
  Pipe p;
  p.writer = &writer;
  const mca_row_sink sink{Begin, Put, &p};
  std::thread decoder;
  try {
    decoder = std::thread([&] {
      const mca_status status = decode(sink);
      std::lock_guard<std::mutex> guard(p.lock);
      p.status = status;
      p.finished = true;
      p.changed.notify_all();
    });
  } catch (const std::system_error&) {
    return decode(writer);
  }
  bool writing = true;
  for (int64_t y = 0; writing; ++y) {
    std::unique_lock<std::mutex> guard(p.lock);
    p.changed.wait(guard, [&] { return p.cancelled || p.finished || (p.begun && p.produced > y); });
    if (p.cancelled || !p.begun || p.produced <= y) break;  // stopped, failed, or every row taken
    guard.unlock();
    writing = writer.row(writer.context, int32_t(y), &p.ring[size_t(y) % p.slots * p.rowBytes]) == 0;
    guard.lock();
    p.consumed = y + 1;
    if (!writing) p.cancelled = true;
    if (!writing || p.consumed % int64_t(p.band) == 0) p.changed.notify_all();
  }
  decoder.join();
  return p.status;
}
