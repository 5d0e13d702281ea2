// Payloads are scrambled byte by byte; descrambling undoes it in place or a
// stretch at a time, and scrambling (for writing) does it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kDescrambleSeed = 0x3B;

// A payload's mask depends on its whole length and repeats every 512 bytes
// (byte i's mask is seed + i * length - i * (i - 1) / 2, modulo 256), so any
// stretch of a payload can be descrambled on its own.
constexpr uint32_t kDescrambleMaskPeriod = 512;
struct DescrambleMask {
  uint8_t byte[kDescrambleMaskPeriod];
};
void BuildDescrambleMask(int32_t length, DescrambleMask* mask);
// Descrambles payload bytes begin .. begin + count - 1 from src into dst
// (which may equal src); src and dst point at byte `begin`.
void ApplyDescrambleMask(const DescrambleMask& mask, const uint8_t* src, uint8_t* dst, size_t begin, size_t count);
// The inverse, for writing: each byte xor the mask, then rotated right by one.
void ApplyScrambleMask(const DescrambleMask& mask, const uint8_t* src, uint8_t* dst, size_t begin, size_t count);
