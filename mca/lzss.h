// LZSS as MCA frames use it: a 4096-byte ring, bounded by the output.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kLzssRingSize = 4096;
constexpr uint32_t kLzssStartPosition = 4078;

// A reference copies three bytes or more: four bits of length, plus three.
constexpr size_t kLzssMinCount = 3;
constexpr size_t kLzssMaxCount = 18;
