#include "png/png_encoder.h"

#include "png/png_filter.h"

#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <system_error>
#include <thread>

namespace {

constexpr size_t kChunkBytes = 1 << 20;  // filtered bytes a thread deflates at a time
constexpr size_t kWindow = 32 * 1024;

void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

bool Put(PngEncoder* e, const void* data, size_t bytes) {
  if (bytes == 0 || std::fwrite(data, 1, bytes, e->out) == bytes) return true;
  e->error = std::string("cannot write: ") + std::strerror(errno);
  return false;
}

bool PutChunk(PngEncoder* e, const char* type, const uint8_t* data, size_t bytes) {
  uint8_t head[8];
  PutBe32(head, uint32_t(bytes));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32(0, head + 4, 4);
  if (bytes) crc = crc32(crc, data, uInt(bytes));
  uint8_t tail[4];
  PutBe32(tail, uint32_t(crc));
  return Put(e, head, 8) && Put(e, data, bytes) && Put(e, tail, 4);
}

// Appends the row with its filter byte: none for palette rows.
void FilterRow(const uint8_t* row, const uint8_t* up, size_t n, bool indexed, uint8_t* scratch,
               std::vector<uint8_t>* out) {
  const uint8_t* filtered = row;
  out->push_back(indexed ? 0 : FilterRgbRow(row, up, n, scratch, &filtered));
  out->insert(out->end(), filtered, filtered + n);
}

struct Deflated {
  std::vector<uint8_t> bytes;
  uint32_t adler = 1;
  bool ok = false;
};

// The zlib level a PNG level stands for.
int ZlibLevel(int level) { return level == kPngTunedLevel ? 6 : level; }

// Raw deflate of one chunk, primed with what came before it.
void DeflateChunk(const std::vector<uint8_t>& input, const uint8_t* dictionary, size_t dictionaryBytes, int level,
                  bool last, Deflated* out) {
  z_stream z = {};
  if (deflateInit2(&z, ZlibLevel(level), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
  // Level 6 with level 7's lazy matching, no early stop on long matches and
  // a short chain: as small as level 7 on smooth pictures, far quicker on noisy ones.
  if (level == kPngTunedLevel) deflateTune(&z, 8, 32, 258, 64);
  if (dictionaryBytes) deflateSetDictionary(&z, dictionary, uInt(dictionaryBytes));
  out->bytes.resize(deflateBound(&z, uLong(input.size())) + 16);
  z.next_in = const_cast<Bytef*>(input.data());
  z.avail_in = uInt(input.size());
  z.next_out = out->bytes.data();
  z.avail_out = uInt(out->bytes.size());
  const int result = deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
  out->ok = last ? result == Z_STREAM_END : result == Z_OK && z.avail_in == 0;
  out->bytes.resize(out->bytes.size() - z.avail_out);
  deflateEnd(&z);
  out->adler = uint32_t(adler32(1, input.data(), uInt(input.size())));
}

// Runs job(0) .. job(count - 1) side by side, job(0) on the calling thread.
template <typename Job>
void RunSideBySide(size_t count, const Job& job) {
  std::vector<std::thread> workers;
  for (size_t i = 1; i < count; ++i) {
    try {
      workers.emplace_back(job, i);
    } catch (const std::system_error&) {
      job(i);  // no thread to be had: here, then
    }
  }
  if (count > 0) job(0);
  for (std::thread& t : workers) t.join();
}

// Filters and deflates the waiting chunks side by side and writes them in order, as
// one IDAT; the last call ends the zlib stream.
bool FlushChunks(PngEncoder* e, bool last) {
  const size_t count = e->raw.size();
  std::vector<Deflated> results(count);
  std::vector<std::vector<uint8_t>> chunks(count);
  // First every chunk's rows are filtered, each chunk on a thread, from the
  // row above it; then every chunk is deflated, primed with the filtered
  // bytes before it.
  auto filter = [&](size_t i) {
    const size_t n = e->rowBytes;
    std::vector<uint8_t> scratch(e->indexed ? 0 : 4 * n);
    const std::vector<uint8_t>& rows = e->raw[i];
    const uint8_t* above = i == 0 ? e->above.data() : &e->raw[i - 1][e->raw[i - 1].size() - n];
    chunks[i].reserve(rows.size() + rows.size() / n + 1);
    for (size_t at = 0; at < rows.size(); at += n) {
      FilterRow(&rows[at], at == 0 ? above : &rows[at - n], n, e->indexed, scratch.data(), &chunks[i]);
    }
  };
  auto deflate = [&](size_t i) {
    const std::vector<uint8_t>& before = i == 0 ? e->history : chunks[i - 1];
    const size_t dictionary = std::min(before.size(), kWindow);
    DeflateChunk(chunks[i], before.data() + before.size() - dictionary, dictionary, e->level,
                 last && i + 1 == count, &results[i]);
  };
  RunSideBySide(count, filter);
  RunSideBySide(count, deflate);

  std::vector<uint8_t> data;
  if (!e->headerWritten) {
    // CMF: deflate with a 32 KiB window; FLG: the level's class, made a multiple of 31.
    const int level = ZlibLevel(e->level);
    const int levelClass = level <= 1 ? 0 : level <= 5 ? 1 : level == 6 ? 2 : 3;
    const unsigned flags = unsigned(levelClass) << 6;
    data = {0x78, uint8_t(flags + (31 - (0x78 * 256 + flags) % 31) % 31)};
    e->headerWritten = true;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!results[i].ok) {
      e->error = "out of memory";
      return false;
    }
    e->adler = uint32_t(adler32_combine(e->adler, results[i].adler, z_off_t(chunks[i].size())));
    data.insert(data.end(), results[i].bytes.begin(), results[i].bytes.end());
  }
  if (last) {
    uint8_t adler[4];
    PutBe32(adler, e->adler);
    data.insert(data.end(), adler, adler + 4);
  }
  // The window the next chunks may reach into, and the row above them.
  for (const std::vector<uint8_t>& chunk : chunks) e->history.insert(e->history.end(), chunk.begin(), chunk.end());
  if (e->history.size() > kWindow) e->history.erase(e->history.begin(), e->history.end() - ptrdiff_t(kWindow));
  if (count > 0) e->above.assign(e->raw.back().end() - ptrdiff_t(e->rowBytes), e->raw.back().end());
  e->raw.clear();
  return PutChunk(e, "IDAT", data.data(), data.size());
}

}  // namespace

bool OpenPng(PngEncoder* e, FILE* out, int32_t width, int32_t height, const std::vector<uint8_t>* palette, int level,
             unsigned threads) {
  e->out = out;
  e->height = height;
  e->indexed = palette != nullptr;
  e->level = level;
  e->threads = threads < 1 ? 1 : threads;
  e->rowBytes = size_t(width) * (e->indexed ? 1 : 3);
  e->above.assign(e->rowBytes, 0);
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t ihdr[13] = {};
  PutBe32(ihdr, uint32_t(width));
  PutBe32(ihdr + 4, uint32_t(height));
  ihdr[8] = 8;                      // bits a sample
  ihdr[9] = e->indexed ? 3 : 2;     // palette, or RGB
  if (!Put(e, kSignature, sizeof kSignature) || !PutChunk(e, "IHDR", ihdr, sizeof ihdr)) return false;
  return !palette || PutChunk(e, "PLTE", palette->data(), palette->size());
}

bool WritePngRow(PngEncoder* e, const uint8_t* row) {
  if (e->raw.empty() || e->raw.back().size() >= kChunkBytes) {
    // A full wave goes out before a row opens the next chunk, so that the
    // last wave always has a chunk to end the stream with.
    if (e->raw.size() == e->threads && !FlushChunks(e, false)) return false;
    e->raw.emplace_back();
    e->raw.back().reserve(kChunkBytes + e->rowBytes);
  }
  e->raw.back().insert(e->raw.back().end(), row, row + e->rowBytes);
  ++e->rowsTaken;
  return true;
}

bool ClosePng(PngEncoder* e) {
  if (e->rowsTaken != e->height) {
    e->error = "the picture ended early";
    return false;
  }
  return FlushChunks(e, true) && PutChunk(e, "IEND", nullptr, 0);
}
