// The LZSS coder: hash chains over the last 4096 bytes (and the zeroed ring
// before the data), a lazy parse for speed, an optimal one for size.
#include "mca/lzss_coder.h"

#include <cstdlib>
#include <cstring>

#include "mca/lzss.h"

namespace {

// Hash heads: 2^15 for frames of 32 KiB and more, fewer for smaller ones,
// so that a small frame does not clear a large table.
constexpr uint32_t kMostHashBits = 15;
constexpr uint32_t kLeastHashBits = 8;
constexpr uint32_t kWindow = kLzssRingSize;
// Chain steps per search: the lazy parse's few keep it fast; the optimal
// parse looks much further, which matters on pictures with many near repeats.
constexpr int kLazyChain = 128;
constexpr int kOptimalChain = 256;
// The optimal parse runs over stretches of this many bytes, so its tables
// stay small whatever the frame; references stop at a stretch's end.
constexpr uint32_t kOptimalStretch = 1u << 20;
// A token's bits: its flag, then one byte or two.
constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kReferenceBits = 17;

// Tokens into the stream: a flag byte before every eight, bit 0 first, 1 for
// a literal.
struct TokenWriter {
  uint8_t* out;
  uint32_t at = 0;
  uint32_t flagAt = 0;
  uint32_t bit = 8;
  void Flag(bool literal) {
    if (bit == 8) {
      flagAt = at++;
      out[flagAt] = 0;
      bit = 0;
    }
    if (literal) out[flagAt] |= uint8_t(1u << bit);
    ++bit;
  }
  void Literal(uint8_t byte) {
    Flag(true);
    out[at++] = byte;
  }
  // A copy of `count` bytes from `distance` back of output count `t`.
  void Reference(uint32_t t, uint32_t distance, uint32_t count) {
    Flag(false);
    const uint32_t position = (kLzssStartPosition + t - distance) % kLzssRingSize;
    out[at++] = uint8_t(position);
    out[at++] = uint8_t(position >> 8 | (count - kLzssMinCount) << 4);
  }
};

struct Match {
  uint32_t count;
  uint32_t distance;
};

// Positions index `base`, the data's start less kLzssCoderBefore, so that
// they are never 0 for a place a match may come from (0 means "none").
struct Chains {
  const uint8_t* base;
  uint32_t end;       // one past the data's last byte
  uint32_t inserted;  // positions below this are in the chains
  uint32_t* head;     // 1 << hashBits
  uint32_t* previous; // kWindow, by position modulo kWindow
  uint32_t hashBits;

  uint32_t Hash(const uint8_t* p) const {
    const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    return (v * 2654435761u) >> (32 - hashBits);
  }
  // Adds every position below `to` that has three bytes to hash.
  void InsertUpTo(uint32_t to) {
    const uint32_t last = end >= kLzssMinCount ? end - kLzssMinCount + 1 : 0;
    if (to > last) to = last;
    for (; inserted < to; ++inserted) {
      const uint32_t h = Hash(base + inserted);
      previous[inserted % kWindow] = head[h];
      head[h] = inserted;
    }
  }
  // The longest match for position `at` (ending at `stop` at the latest)
  // among `depth` candidates, the nearest of equals; then `at` joins the chains.
  Match Longest(uint32_t at, uint32_t stop, int depth) {
    InsertUpTo(at);
    Match best{0, 0};
    const uint32_t room = stop - at < kLzssMaxCount ? stop - at : uint32_t(kLzssMaxCount);
    if (room >= kLzssMinCount) {
      const uint8_t* here = base + at;
      uint32_t count = kLzssMinCount - 1;
      for (uint32_t candidate = head[Hash(here)]; candidate != 0 && at - candidate <= kWindow && depth-- > 0;) {
        const uint8_t* there = base + candidate;
        if (there[count] == here[count]) {
          uint32_t n = 0;
          while (n < room && there[n] == here[n]) ++n;
          if (n > count) {
            count = n;
            best = Match{n, at - candidate};
            if (n == room) break;
          }
        }
        const uint32_t next = previous[candidate % kWindow];
        if (next >= candidate) break;  // the slot was taken by a newer position
        candidate = next;
      }
    }
    InsertUpTo(at + 1);
    return best;
  }
};

void CodeLiterals(const uint8_t* data, uint32_t size, TokenWriter* w) {
  for (uint32_t i = 0; i < size; ++i) w->Literal(data[i]);
}

// Takes the longest match, unless the next byte starts a longer one; then
// that byte goes as a literal and the longer match is weighed the same way.
void CodeLazy(Chains* c, TokenWriter* w) {
  const uint32_t start = kLzssCoderBefore;
  uint32_t at = start;
  while (at < c->end) {
    Match m = c->Longest(at, c->end, kLazyChain);
    while (m.count >= kLzssMinCount && m.count < kLzssMaxCount && at + 1 < c->end) {
      const Match next = c->Longest(at + 1, c->end, kLazyChain);
      if (next.count <= m.count) break;
      w->Literal(c->base[at]);
      ++at;
      m = next;
    }
    if (m.count >= kLzssMinCount) {
      w->Reference(at - start, m.distance, m.count);
      at += m.count;
    } else {
      w->Literal(c->base[at]);
      ++at;
    }
  }
}

// For each stretch: the longest match at every byte, then, from the end
// back, the fewest bits from each byte to the stretch's end (a literal, or a
// reference of any length up to the longest), then the tokens forward.
bool CodeOptimal(Chains* c, TokenWriter* w) {
  const uint32_t start = kLzssCoderBefore;
  const uint32_t most = c->end - start < kOptimalStretch ? c->end - start : kOptimalStretch;
  Match* matches = static_cast<Match*>(std::malloc(sizeof(Match) * (size_t(most) + 1)));
  uint64_t* bits = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * (size_t(most) + 1)));
  if (!matches || !bits) {
    std::free(matches);
    std::free(bits);
    return false;
  }
  for (uint32_t first = start; first < c->end;) {
    const uint32_t n = c->end - first < most ? c->end - first : most;
    const uint32_t stop = first + n;
    for (uint32_t i = 0; i < n; ++i) matches[i] = c->Longest(first + i, stop, kOptimalChain);
    // matches[i].count becomes the length to take at i (below 3: a literal).
    bits[n] = 0;
    for (uint32_t i = n; i-- > 0;) {
      uint64_t best = kLiteralBits + bits[i + 1];
      uint32_t take = 1;
      for (uint32_t k = kLzssMinCount; k <= matches[i].count; ++k) {
        const uint64_t b = kReferenceBits + bits[i + k];
        if (b < best) {
          best = b;
          take = k;
        }
      }
      bits[i] = best;
      matches[i].count = take;
    }
    for (uint32_t i = 0; i < n;) {
      if (matches[i].count >= kLzssMinCount) {
        w->Reference(first + i - start, matches[i].distance, matches[i].count);
        i += matches[i].count;
      } else {
        w->Literal(c->base[first + i]);
        ++i;
      }
    }
    first = stop;
  }
  std::free(matches);
  std::free(bits);
  return true;
}

}  // namespace

bool CodeLzss(const uint8_t* data, uint32_t size, LzssLevel level, uint8_t* out, uint32_t* coded) {
  TokenWriter w{out};
  if (level == kLzssLiterals || size < kLzssMinCount) {
    CodeLiterals(data, size, &w);
    *coded = w.at;
    return true;
  }
  uint32_t hashBits = kLeastHashBits;
  while (hashBits < kMostHashBits && (1u << hashBits) < size) ++hashBits;
  const size_t tables = (size_t(1) << hashBits) + kWindow;
  uint32_t* head = static_cast<uint32_t*>(std::malloc(tables * sizeof(uint32_t)));
  if (!head) return false;
  std::memset(head, 0, tables * sizeof(uint32_t));
  // The ring's last 18 zero bytes before the data: enough for any run of
  // zeros at the start, and they stay within reach for the first 4078 bytes.
  Chains c{data - kLzssCoderBefore, uint32_t(kLzssCoderBefore + size), uint32_t(kLzssCoderBefore - kLzssMaxCount),
           head, head + (size_t(1) << hashBits), hashBits};
  bool ok = true;
  if (level == kLzssOptimal) ok = CodeOptimal(&c, &w);
  else CodeLazy(&c, &w);
  std::free(head);
  if (ok) *coded = w.at;
  return ok;
}
