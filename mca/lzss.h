// LZSS as MCA frames use it: a 4096-byte ring, bounded by the output.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kLzssRingSize = 4096;
constexpr uint32_t kLzssStartPosition = 4078;

// Expands an LZSS stream of `length` descrambled bytes into dst, which holds
// `capacity` bytes, stopping before the first token that starts at or after
// `limit` bytes of output. Returns the bytes produced (never more than
// capacity); bytes of dst past them may be left holding scratch.
size_t ExpandLzss(const uint8_t* src, int32_t length, uint8_t* dst, size_t capacity,
                  int32_t limit);
