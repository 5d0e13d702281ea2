// The LZSS expander, resumable, writing straight into an output window.
//
// The stream addresses a 4096-byte ring that starts zero-filled with its write
// position at 4078. Instead of keeping the ring, ring position p at output
// count t is read from the output d = (4078 + t - p) mod 4096 bytes back
// (d = 0 meaning 4096); a position before the start of the output was never
// written and reads as zero. So the window only has to hold the last 4096
// bytes of output.
#pragma once

#include <cstring>

#include "mca/lzss.h"

struct LzssState {
  size_t in;      // stream bytes consumed
  size_t out;     // output bytes produced
  unsigned flags;
  int flagsLeft;
  bool finished;  // the stream, the limit or the capacity has ended it
};

// Stream bytes at hand: bytes[0] is stream byte `first`, and bytes up to
// `available` may be read, of a stream of `end` bytes.
struct LzssInput {
  const uint8_t* bytes;
  size_t first;
  size_t available;
  size_t end;
};

// Where output goes and where it stops: window[0] holds output byte `base`;
// the window holds the 4096 bytes before the output (or all since byte 0)
// and may be written up to output byte `writable`. No token starts at or
// after `pause` (to be resumed later), none after `limit` (tested before each
// token, so a reference that starts below it runs whole), and nothing passes
// `capacity`.
struct LzssOutput {
  uint8_t* window;
  size_t base;
  size_t pause;
  size_t capacity;
  size_t limit;
  size_t writable;
};

// The output as a frame streams it: `window` holds output byte `base` and may
// be written up to output byte `writable`; the expansion pauses before a
// token at `pause` (the caller moves the window and runs it again), ends
// before a token at E (`limit`), and never passes the bytes the frame's rows
// need (`capacity`). A whole stream into one buffer is the window at 0 with
// all three at the buffer's end.
inline LzssOutput LzssWindowOutput(uint8_t* window, size_t base, size_t writable, size_t pause, size_t limit,
                                   size_t capacity) {
  return LzssOutput{window, base, pause, capacity, limit, writable};
}

// The most stream bytes one turn of the expander takes: a flag byte and eight literals.
constexpr size_t kLzssTurnInput = 9;

// The most a whole flag group takes and gives: a flag byte and eight
// two-byte references, eight 18-byte copies.
constexpr size_t kLzssGroupInput = 17;
constexpr size_t kLzssGroupOutput = 8 * kLzssMaxCount;

// The most bytes one token's copy writes from its start: the fast copies store
// whole words, a fixed number of them whatever the length, and leave scratch
// past the match, which later output overwrites.
constexpr size_t kLzssCopySlack = 32;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the pattern copy builds words byte-first");

// Copies a reference of up to kLzssMaxCount bytes from `distance` back (no
// further back than the output's start) when kLzssCopySlack bytes from `to`
// on may be written. Every case stores a fixed run of words that covers the
// longest reference: no branch on the length.
inline void CopyMatchWithSlack(uint8_t* to, size_t distance) {
  const uint8_t* from = to - distance;
  if (distance >= 16) {
    // Each word's source lies before its destination, or was just written.
    std::memcpy(to, from, 16);
    std::memcpy(to + 16, from + 16, 8);
  } else if (distance >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + 8, from + 8, 8);
    std::memcpy(to + 16, from + 16, 8);
  } else {
    // A reference that reaches the bytes it writes repeats its first
    // `distance` bytes: build that pattern in a word and store it three times,
    // a whole number of patterns apart, enough for the longest reference.
    // The pattern is read a byte at a time: a word read across the stores
    // that just wrote those bytes cannot be handed on from the store buffer,
    // and waits for them.
    if (distance == 3) {  // a repeated pixel, by far the most common
      const uint64_t pixel = uint64_t(from[0]) | uint64_t(from[1]) << 8 | uint64_t(from[2]) << 16;
      const uint64_t word = pixel | pixel << 24;  // two pixels: each store's last two bytes are scratch
      std::memcpy(to, &word, 8);
      std::memcpy(to + 6, &word, 8);
      std::memcpy(to + 12, &word, 8);
      return;
    }
    if (distance == 1) {  // a run of one byte
      const uint64_t word = from[0] * 0x0101010101010101ull;
      std::memcpy(to, &word, 8);
      std::memcpy(to + 8, &word, 8);
      std::memcpy(to + 16, &word, 8);
      return;
    }
    uint64_t word = 0;
    for (size_t i = 0; i < distance; ++i) word |= uint64_t(from[i]) << (8 * i);
    for (size_t filled = distance; filled < 8; filled *= 2) word |= word << (8 * filled);
    static constexpr uint8_t kStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};  // the most whole patterns in a word
    const size_t step = kStep[distance];
    static_assert(2 * 5 + 8 >= kLzssMaxCount, "three stores of the shortest step cover the longest reference");
    std::memcpy(to, &word, 8);
    std::memcpy(to + step, &word, 8);
    std::memcpy(to + 2 * step, &word, 8);
  }
}

// Copies `count` bytes from `distance` back; window[0] holds output byte
// `base`, and `room` bytes from `out` on may be written.
inline void CopyMatch(uint8_t* window, size_t base, size_t out, size_t distance, size_t count, size_t room) {
  uint8_t* to = window + (out - base);
  if (distance > out) {  // the part of the reference that precedes the output
    const size_t zeros = distance - out < count ? distance - out : count;
    std::memset(to, 0, zeros);
    to += zeros;
    count -= zeros;
    room -= zeros;
    if (count == 0) return;
  }
  const uint8_t* from = to - distance;
  if (room >= kLzssCopySlack) {
    CopyMatchWithSlack(to, distance);
  } else if (distance >= count) {
    std::memcpy(to, from, count);
  } else {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];  // overlapping: repeats what it writes
  }
}

// Runs tokens until the stream ends, the output reaches its limit or its
// capacity, a token would start at its pause, or the bytes at hand run short
// of the stream's end. Bytes between the output and `writable` may be left
// holding scratch.
inline void RunLzss(const LzssInput& input, const LzssOutput& output, LzssState* s) {
  uint8_t* const window = output.window;
  const size_t base = output.base, pause = output.pause, capacity = output.capacity;
  const size_t limit = output.limit, writable = output.writable;
  const uint8_t* stream = input.bytes;
  const size_t first = input.first;
  const size_t end = input.end;
  size_t in = s->in, out = s->out;
  unsigned flags = s->flags;
  int flagsLeft = s->flagsLeft;
  const size_t stop = limit < capacity ? limit : capacity;
  const size_t until = pause < stop ? pause : stop;
  // Whole flag groups run without a test per token while all eight tokens
  // surely start below every stop, with their bytes at hand, their copies'
  // slack writable, and every reference inside the output (the history of
  // 4096 bytes is all output).
  const size_t inAtHand = input.available < end ? input.available : end;
  const size_t groupUntil = until < writable - kLzssCopySlack ? until : writable - kLzssCopySlack;
  bool cut = false;
  while (out < until && in < end) {
    if (flagsLeft == 0) {
      uint8_t* const w = window - base;
      const uint8_t* const bytes = stream - first;
      while (out >= kLzssRingSize && groupUntil >= kLzssGroupOutput && out <= groupUntil - kLzssGroupOutput &&
             inAtHand >= kLzssGroupInput && in <= inAtHand - kLzssGroupInput) {
        unsigned group = bytes[in++];
        if (group == 0xFF) {
          std::memcpy(w + out, bytes + in, 8);
          in += 8;
          out += 8;
          continue;
        }
        // Unrolled, each token tests its own flag bit: no counter to branch on.
#pragma GCC unroll 8
        for (int token = 0; token < 8; ++token, group >>= 1) {
          if (group & 1) {
            w[out++] = bytes[in++];
            continue;
          }
          const unsigned b0 = bytes[in], b1 = bytes[in + 1];
          in += 2;
          const size_t count = (b1 >> 4) + 3;
          const size_t distance = ((kLzssStartPosition + out - (b0 | (b1 & 0x0F) << 8)) - 1) % kLzssRingSize + 1;
          CopyMatchWithSlack(w + out, distance);
          out += count;
        }
      }
      if (out >= until || in >= end) break;
    }
    if (input.available < end && input.available - in < kLzssTurnInput) break;
    if (flagsLeft == 0) {
      flags = stream[in++ - first];
      flagsLeft = 8;
      if (in == end) {  // a flag byte with no token after it
        cut = true;
        break;
      }
      // Eight literals that all start below the stop, with their bytes all
      // inside the stream, go in one move.
      if (flags == 0xFF && end - in >= 8 && until - out >= 8) {
        std::memcpy(window + (out - base), stream + (in - first), 8);
        in += 8;
        out += 8;
        flagsLeft = 0;
        continue;
      }
    }
    if (flags & 1) {
      window[out++ - base] = stream[in++ - first];
    } else {
      if (end - in < 2) {  // a back-reference cut short
        cut = true;
        break;
      }
      const unsigned b0 = stream[in - first];
      const unsigned b1 = stream[in + 1 - first];
      in += 2;
      const size_t position = b0 | (b1 & 0x0F) << 8;
      size_t count = (b1 >> 4) + 3;
      size_t distance = (kLzssStartPosition + out - position) & (kLzssRingSize - 1);
      if (distance == 0) distance = kLzssRingSize;
      if (count > capacity - out) count = capacity - out;
      CopyMatch(window, base, out, distance, count, writable - out);
      out += count;
    }
    flags >>= 1;
    --flagsLeft;
  }
  s->in = in;
  s->out = out;
  s->flags = flags;
  s->flagsLeft = flagsLeft;
  s->finished = cut || in >= end || out >= stop;
}
