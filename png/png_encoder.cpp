#include "png/png_encoder.h"

#include "png/png_filter.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr size_t kChunkBytes = 1 << 20;  // filtered bytes a chunk holds, about

struct Chunk {
  std::vector<uint8_t> raw;  // the row above the chunk's first, then its rows
  size_t rows = 0;
  bool last = false;
  std::vector<uint8_t> filtered;
  std::vector<uint8_t> deflated;
  bool done = false;
  bool ok = false;
};

void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

}  // namespace

struct PngPipeline {
  size_t rowBytes = 0;
  size_t chunkRows = 1;
  bool indexed = false;
  int level = kDeflateAutoLevel;
  size_t inFlight = 1;  // chunks submitted and not yet written, at most

  std::mutex lock;
  std::condition_variable queued, finished;
  std::deque<Chunk*> waiting;                    // for a worker
  std::deque<std::unique_ptr<Chunk>> submitted;  // in the file's order
  bool stopping = false;
  std::vector<std::thread> workers;

  std::unique_ptr<Chunk> filling;
  std::vector<std::unique_ptr<Chunk>> spare;
  ChunkDeflater* inlineDeflater = nullptr;  // without workers
  std::vector<uint8_t> scratch;              // the filters' rows, without workers
};

void PngPipelineStop::operator()(PngPipeline* p) const {
  {
    std::lock_guard<std::mutex> guard(p->lock);
    p->stopping = true;
  }
  p->queued.notify_all();
  for (std::thread& t : p->workers) t.join();
  FreeChunkDeflater(p->inlineDeflater);
  delete p;
}

namespace {

void FilterChunk(const PngPipeline& p, Chunk* c, std::vector<uint8_t>* scratch) {
  const size_t n = p.rowBytes;
  c->filtered.resize(c->rows * (n + 1));
  uint8_t* out = c->filtered.data();
  for (size_t y = 0; y < c->rows; ++y, out += n + 1) {
    const uint8_t* row = &c->raw[(y + 1) * n];
    const uint8_t* filtered = row;
    out[0] = p.indexed ? 0 : FilterRgbRow(row, row - n, n, scratch->data(), &filtered);
    std::memcpy(out + 1, filtered, n);
  }
}

void ProcessChunk(const PngPipeline& p, ChunkDeflater* deflater, std::vector<uint8_t>* scratch, Chunk* c) {
  try {
    FilterChunk(p, c, scratch);
    c->ok = deflater && DeflateChunk(deflater, c->filtered.data(), c->filtered.size(), c->last, &c->deflated);
  } catch (const std::bad_alloc&) {
    c->ok = false;
  }
}

void Work(PngPipeline* p) {
  ChunkDeflater* deflater = NewChunkDeflater(p->level, p->indexed);
  std::vector<uint8_t> scratch(4 * p->rowBytes);
  std::unique_lock<std::mutex> guard(p->lock);
  for (;;) {
    p->queued.wait(guard, [&] { return p->stopping || !p->waiting.empty(); });
    if (p->stopping) break;
    Chunk* c = p->waiting.front();
    p->waiting.pop_front();
    guard.unlock();
    ProcessChunk(*p, deflater, &scratch, c);
    guard.lock();
    c->done = true;
    p->finished.notify_all();
  }
  FreeChunkDeflater(deflater);
}

bool Put(PngEncoder* e, const void* data, size_t bytes) {
  if (bytes == 0 || std::fwrite(data, 1, bytes, e->out) == bytes) return true;
  e->error = std::string("cannot write: ") + std::strerror(errno);
  return false;
}

// A chunk of type `type` whose data is the pieces laid end to end.
bool PutChunk(PngEncoder* e, const char* type, std::initializer_list<std::pair<const uint8_t*, size_t>> pieces) {
  size_t bytes = 0;
  for (const auto& piece : pieces) bytes += piece.second;
  uint8_t head[8];
  PutBe32(head, uint32_t(bytes));
  std::memcpy(head + 4, type, 4);
  uint32_t crc = Crc32(0, head + 4, 4);
  for (const auto& piece : pieces) crc = Crc32(crc, piece.first, piece.second);
  uint8_t tail[4];
  PutBe32(tail, crc);
  if (!Put(e, head, 8)) return false;
  for (const auto& piece : pieces) {
    if (!Put(e, piece.first, piece.second)) return false;
  }
  return Put(e, tail, 4);
}

// One deflated chunk as an IDAT: the first carries the zlib header, the
// last the checksum.
bool WriteChunk(PngEncoder* e, const Chunk& c) {
  if (!c.ok) {
    e->error = "out of memory";
    return false;
  }
  uint8_t header[2];
  ZlibHeader(e->pipeline->level, header);
  e->adler = Adler32(e->adler, c.filtered.data(), c.filtered.size());
  uint8_t adler[4];
  PutBe32(adler, e->adler);
  const size_t headerBytes = e->headerWritten ? 0 : 2;
  e->headerWritten = true;
  return PutChunk(e, "IDAT", {{header, headerBytes}, {c.deflated.data(), c.deflated.size()}, {adler, c.last ? 4 : 0}});
}

// Writes submitted chunks in order while more than `keep` wait, or while
// the first is done anyway.
bool WriteFinished(PngEncoder* e, size_t keep) {
  PngPipeline& p = *e->pipeline;
  for (;;) {
    std::unique_ptr<Chunk> c;
    {
      std::unique_lock<std::mutex> guard(p.lock);
      if (p.submitted.empty()) return true;
      if (p.submitted.size() <= keep && !p.submitted.front()->done) return true;
      p.finished.wait(guard, [&] { return p.submitted.front()->done; });
      c = std::move(p.submitted.front());
      p.submitted.pop_front();
    }
    const bool ok = WriteChunk(e, *c);
    c->done = false;
    p.spare.push_back(std::move(c));
    if (!ok) return false;
  }
}

bool Submit(PngEncoder* e, bool last) {
  PngPipeline& p = *e->pipeline;
  Chunk* c = p.filling.get();
  c->last = last;
  if (p.workers.empty()) {
    ProcessChunk(p, p.inlineDeflater, &p.scratch, c);
    c->done = true;
    p.submitted.push_back(std::move(p.filling));
  } else {
    std::lock_guard<std::mutex> guard(p.lock);
    p.waiting.push_back(c);
    p.submitted.push_back(std::move(p.filling));
    p.queued.notify_one();
  }
  return WriteFinished(e, last ? 0 : p.inFlight);
}

// A chunk to fill, after the row above it.
std::unique_ptr<Chunk> NewChunk(PngPipeline* p, const uint8_t* above) {
  std::unique_ptr<Chunk> c;
  if (p->spare.empty()) {
    c.reset(new Chunk);
  } else {
    c = std::move(p->spare.back());
    p->spare.pop_back();
  }
  c->raw.resize((p->chunkRows + 1) * p->rowBytes);
  if (above) std::memcpy(c->raw.data(), above, p->rowBytes);
  else std::fill(c->raw.begin(), c->raw.begin() + ptrdiff_t(p->rowBytes), 0);
  c->rows = 0;
  return c;
}

}  // namespace

bool OpenPng(PngEncoder* e, FILE* out, int32_t width, int32_t height, const std::vector<uint8_t>* palette, int level,
             unsigned threads) {
  e->out = out;
  e->height = height;
  e->pipeline.reset(new PngPipeline);
  PngPipeline& p = *e->pipeline;
  p.rowBytes = size_t(width) * (palette ? 1 : 3);
  p.chunkRows = std::max<size_t>(1, kChunkBytes / (p.rowBytes + 1));
  p.indexed = palette != nullptr;
  p.level = level;
  threads = std::max(1u, threads);
  p.inFlight = 2 * size_t(threads);
  if (threads > 1) {
    for (unsigned i = 0; i < threads; ++i) {
      try {
        p.workers.emplace_back(Work, &p);
      } catch (const std::system_error&) {
        break;  // as many as there are to be had
      }
    }
  }
  if (p.workers.empty()) {
    p.inlineDeflater = NewChunkDeflater(level, p.indexed);
    p.scratch.resize(4 * p.rowBytes);
  }
  p.filling = NewChunk(&p, nullptr);
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t ihdr[13] = {};
  PutBe32(ihdr, uint32_t(width));
  PutBe32(ihdr + 4, uint32_t(height));
  ihdr[8] = 8;                   // bits a sample
  ihdr[9] = palette ? 3 : 2;     // palette, or RGB
  if (!Put(e, kSignature, sizeof kSignature) || !PutChunk(e, "IHDR", {{ihdr, sizeof ihdr}})) return false;
  return !palette || PutChunk(e, "PLTE", {{palette->data(), palette->size()}});
}

bool WritePngRow(PngEncoder* e, const uint8_t* row) {
  PngPipeline& p = *e->pipeline;
  Chunk& c = *p.filling;
  std::memcpy(&c.raw[(c.rows + 1) * p.rowBytes], row, p.rowBytes);
  ++c.rows;
  ++e->rowsTaken;
  if (c.rows < p.chunkRows || e->rowsTaken == e->height) return true;
  std::unique_ptr<Chunk> next = NewChunk(&p, &c.raw[c.rows * p.rowBytes]);
  const bool ok = Submit(e, false);
  p.filling = std::move(next);
  return ok;
}

bool ClosePng(PngEncoder* e) {
  if (e->rowsTaken != e->height) {
    e->error = "the picture ended early";
    return false;
  }
  return Submit(e, true) && PutChunk(e, "IEND", {});
}
