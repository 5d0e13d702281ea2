// LZSS coding for MCA frames: a stream that the expansion (lzss_expander.h)
// turns back into the same bytes. The ring starts zeroed with its write
// position at 4078, so a reference names ring position (4078 + t - d) mod
// 4096 for the byte d back from output count t, d from 1 to 4096; bytes
// before the output's start read as zero.
#pragma once

#include <cstddef>
#include <cstdint>

// How hard the coder looks for references.
enum LzssLevel : int32_t {
  kLzssLiterals = 0,  // every byte a literal: no search at all
  kLzssLazy = 1,      // the longest of a short hash chain, taken unless the next byte starts a longer one
  kLzssOptimal = 2,   // the longest at every byte from a long chain, then the parse of fewest bits
};

// The zero bytes the coder reads before the data (the ring as it starts),
// and the bytes it may read past the data's end (never used in a match).
constexpr size_t kLzssCoderBefore = 4096;
constexpr size_t kLzssCoderAfter = 32;

// The most bytes a stream of `size` bytes of data takes: all literals.
inline uint64_t LzssCodedBound(uint64_t size) { return size + (size + 7) / 8; }

// Codes `size` bytes at `data` into `out` (LzssCodedBound(size) bytes).
// kLzssCoderBefore bytes before `data` must be zero and kLzssCoderAfter bytes
// after it readable. Returns the stream's length; false (no memory) leaves
// `*coded` unset.
bool CodeLzss(const uint8_t* data, uint32_t size, LzssLevel level, uint8_t* out, uint32_t* coded);
