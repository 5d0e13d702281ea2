#include "png/deflate_chunk.h"

#include <libdeflate.h>

#include <new>

namespace {

constexpr int kAutoFirstLevel = 2;
constexpr int kAutoIndexedLevel = 6;
constexpr int kAutoSmoothLevel = 7;
constexpr size_t kSmoothRatio = 8;

}  // namespace

struct ChunkDeflater {
  int level = 0;
  libdeflate_compressor* first = nullptr;
  libdeflate_compressor* smooth = nullptr;  // auto level only, made when first needed
  std::vector<uint8_t> spare;
};

ChunkDeflater* NewChunkDeflater(int level, bool indexed) {
  ChunkDeflater* d = new (std::nothrow) ChunkDeflater;
  if (!d) return nullptr;
  d->level = level;
  const int autoLevel = indexed ? kAutoIndexedLevel : kAutoFirstLevel;
  d->first = libdeflate_alloc_compressor(level == kDeflateAutoLevel ? autoLevel : level);
  if (!d->first) {
    delete d;
    return nullptr;
  }
  return d;
}

void FreeChunkDeflater(ChunkDeflater* d) {
  if (!d) return;
  libdeflate_free_compressor(d->first);
  libdeflate_free_compressor(d->smooth);
  delete d;
}

namespace {

bool Compress(libdeflate_compressor* c, const uint8_t* data, size_t bytes, std::vector<uint8_t>* out) {
  // Room for the empty stored block that may end the chunk.
  out->resize(libdeflate_deflate_compress_bound(c, bytes) + 6);
  const size_t written = libdeflate_deflate_compress(c, data, bytes, out->data(), out->size());
  out->resize(written);
  return written != 0;
}

// Turns a whole stream into one that goes on: the final block made an
// ordinary one, then an empty stored block, which ends on a byte.
bool LeaveOpen(std::vector<uint8_t>* stream) {
  size_t finalBit = 0, endBit = 0;
  if (!FindFinalBlock(stream->data(), stream->size(), &finalBit, &endBit)) return false;
  (*stream)[finalBit / 8] &= uint8_t(~(1u << (finalBit % 8)));
  // Bits past the end are zero: they make the stored block's three header bits.
  if (endBit % 8) (*stream)[endBit / 8] &= uint8_t((1u << (endBit % 8)) - 1);
  stream->resize((endBit + 3 + 7) / 8, 0);
  stream->insert(stream->end(), {0x00, 0x00, 0xFF, 0xFF});
  return true;
}

}  // namespace

bool DeflateChunk(ChunkDeflater* d, const uint8_t* data, size_t bytes, bool last, std::vector<uint8_t>* out) {
  try {
    if (!Compress(d->first, data, bytes, out)) return false;
    if (d->level == kDeflateAutoLevel && out->size() * kSmoothRatio < bytes) {
      if (!d->smooth && !(d->smooth = libdeflate_alloc_compressor(kAutoSmoothLevel))) return false;
      if (!Compress(d->smooth, data, bytes, &d->spare)) return false;
      if (d->spare.size() < out->size()) out->swap(d->spare);
    }
    return last || LeaveOpen(out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void ZlibHeader(int level, uint8_t out[2]) {
  // CMF: deflate with a 32 KiB window; FLG: the level's class, made a multiple of 31.
  const int levelClass = level == kDeflateAutoLevel ? 1 : level <= 1 ? 0 : level <= 5 ? 1 : level == 6 ? 2 : 3;
  const unsigned flags = unsigned(levelClass) << 6;
  out[0] = 0x78;
  out[1] = uint8_t(flags + (31 - (0x78 * 256 + flags) % 31) % 31);
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t bytes) {
  return libdeflate_adler32(adler, data, bytes);
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t bytes) { return libdeflate_crc32(crc, data, bytes); }
