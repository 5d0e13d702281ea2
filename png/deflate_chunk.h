// Deflating a PNG's data in independent chunks that join into one zlib
// stream: each chunk is deflated alone (libdeflate), and every chunk but the
// last is made to end on a byte with its final-block bit cleared, so the
// chunks' bytes laid end to end are one deflate stream. A chunk's bytes
// depend on its input and the level only, never on the thread that made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The level that picks by measurement: for RGB rows libdeflate level 2, and
// level 7 for a chunk that level 2 shrinks to under an eighth (smooth
// pictures, whose long runs the quick levels leave mostly unfound); for
// palette rows, a third the bytes, level 6, as quick there as level 2 and
// 12 % smaller.
constexpr int kDeflateAutoLevel = -1;

struct ChunkDeflater;

// A deflater for one thread's chunks of RGB or `indexed` rows, at `level`
// (0-9, or kDeflateAutoLevel); null without memory.
ChunkDeflater* NewChunkDeflater(int level, bool indexed);
void FreeChunkDeflater(ChunkDeflater* d);

// Replaces `out` with the raw deflate bytes of `data`; a chunk that is not
// `last` ends on a byte and leaves the stream open. False without memory.
bool DeflateChunk(ChunkDeflater* d, const uint8_t* data, size_t bytes, bool last, std::vector<uint8_t>* out);

// The zlib stream's two header bytes for `level`, and the running Adler-32
// of its uncompressed bytes.
void ZlibHeader(int level, uint8_t out[2]);
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t bytes);
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t bytes);

// Where, in bits, the final block of a whole raw deflate stream starts and
// where the stream ends; false if `stream` is not one well formed.
bool FindFinalBlock(const uint8_t* stream, size_t bytes, size_t* finalBlockBit, size_t* endBit);
