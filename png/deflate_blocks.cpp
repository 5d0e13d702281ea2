// Walking a raw deflate stream block by block without inflating it: each
// symbol is decoded only to be skipped, so the walk costs about as many steps
// as the stream has symbols. Every read is bounded by the stream.
#include "png/deflate_chunk.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kTableBits = 10;

// What a symbol is to the walk, in a skipping table's entry above its bits.
enum Kind : uint16_t { kNone = 0, kLiteral = 1, kLength = 2, kEnd = 3, kUnusable = 4, kLong = 5 };

// A literal or length symbol's entry (`firstWithExtra` 257), or a distance
// symbol's (0), with the extra bits `extraBits` gives it.
uint16_t SkipEntry(int symbol, int length, const uint8_t* extraBits, int firstWithExtra) {
  if (firstWithExtra == 257) {
    if (symbol < 256) return uint16_t(kLiteral << 8 | length);
    if (symbol == 256) return uint16_t(kEnd << 8 | length);
    if (symbol > 285) return uint16_t(kUnusable << 8 | length);
    return uint16_t(kLength << 8 | (length + extraBits[symbol - 257]));
  }
  if (symbol > 29) return uint16_t(kUnusable << 8 | length);
  return uint16_t(kLength << 8 | (length + extraBits[symbol]));
}

struct Bits {
  const uint8_t* data;
  size_t bytes;
  size_t next = 0;   // the next byte to take into `buffer`
  uint64_t buffer = 0;
  int count = 0;     // bits in `buffer`

  // At least 56 bits in the buffer; past the end come zeros, and Position()
  // then passes the end and the walk fails.
  void Refill() {
    if (next + 8 <= bytes) {
      uint64_t word;
      std::memcpy(&word, data + next, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      word = __builtin_bswap64(word);
#endif
      buffer |= word << count;
      next += size_t(63 - count) >> 3;
      count |= 56;
      return;
    }
    while (count <= 56) {
      buffer |= uint64_t(next < bytes ? data[next] : 0) << count;
      ++next;
      count += 8;
    }
  }
  uint32_t Peek(int n) {
    if (count < n) Refill();
    return uint32_t(buffer & ((uint64_t(1) << n) - 1));
  }
  void Skip(int n) {
    buffer >>= n;
    count -= n;
  }
  uint32_t Take(int n) {
    const uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  size_t Position() const { return next * 8 - size_t(count); }
  bool Overrun() const { return Position() > bytes * 8; }
  void SkipTo(size_t bit) {
    next = bit / 8;
    buffer = 0;
    count = 0;
    if (bit % 8) Take(int(bit % 8));
  }
};

// A canonical Huffman code. A table indexed by the next `bits` bits (at most
// kTableBits, small enough to stay in the nearest cache) answers every code
// that short: (symbol << 4) | length, or for a skipping table what the walk
// needs of a symbol, its kind and its bits with any extra bits after it. The
// rarer longer codes are read a bit at a time from the symbols in code order.
struct Code {
  uint16_t table[1 << kTableBits];
  int bits = 0;
  int counts[kMaxCodeBits + 1];
  uint16_t sorted[288];
  const uint8_t* extraBits = nullptr;
  int firstWithExtra = 0;

  uint16_t Entry(int symbol, int length) const {
    return extraBits ? SkipEntry(symbol, length, extraBits, firstWithExtra) : uint16_t(symbol << 4 | length);
  }

  bool Build(const uint8_t* lengths, int symbols, const uint8_t* extra = nullptr, int withExtra = 0) {
    extraBits = extra;
    firstWithExtra = withExtra;
    std::memset(counts, 0, sizeof counts);
    int longest = 0;
    for (int s = 0; s < symbols; ++s) {
      ++counts[lengths[s]];
      if (lengths[s] > longest) longest = lengths[s];
    }
    counts[0] = 0;
    int nextCode[kMaxCodeBits + 2] = {}, offsets[kMaxCodeBits + 2] = {};
    int room = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      room = room * 2 - counts[len];
      if (room < 0) return false;  // more codes than a prefix code can have
      nextCode[len + 1] = (nextCode[len] + counts[len]) << 1;
      offsets[len + 1] = offsets[len] + counts[len];
    }
    bits = longest < kTableBits ? longest : kTableBits;
    // Where a longer code begins, the entry sends the walk to the slow road.
    for (int i = 0; i < (1 << bits); ++i) table[i] = longest > kTableBits ? uint16_t(kLong << 8) : 0;
    for (int s = 0; s < symbols; ++s) {
      const int len = lengths[s];
      if (len == 0) continue;
      sorted[offsets[len]++] = uint16_t(s);
      const uint32_t code = uint32_t(nextCode[len]++);
      if (len > bits) continue;
      uint32_t reversed = 0;
      for (int i = 0; i < len; ++i) reversed |= ((code >> i) & 1u) << (len - 1 - i);
      for (uint32_t i = reversed; i < (1u << bits); i += 1u << len) table[i] = Entry(s, len);
    }
    return true;
  }

  // The entry of a code longer than the table's bits, read from `buffer`
  // (at least 15 bits); 0 where the bits begin no code.
  uint16_t LongEntry(uint64_t buffer) const {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      code |= int(buffer >> (len - 1)) & 1;
      if (code - first < counts[len]) return Entry(sorted[index + code - first], len);
      index += counts[len];
      first = (first + counts[len]) << 1;
      code <<= 1;
    }
    return 0;
  }

  // The next symbol of a code no longer than the table's bits (the code
  // lengths' code, of at most 7), or -1 where the bits begin no code.
  int Decode(Bits* in) const {
    const uint16_t entry = table[in->Peek(bits)];
    if (entry == 0) return -1;
    in->Skip(entry & 15);
    return entry >> 4;
  }
};

constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Large: on the heap, not the stack of a worker thread.
struct Codes {
  Code literals, distances, lengths;
};

bool FixedCodes(Code* literals, Code* distances) {
  uint8_t lengths[288];
  for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  uint8_t distanceLengths[30];
  for (uint8_t& len : distanceLengths) len = 5;
  return literals->Build(lengths, 288, kLengthExtra, 257) && distances->Build(distanceLengths, 30, kDistanceExtra, 0);
}

bool DynamicCodes(Bits* in, Codes* codes) {
  static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  const int literalCount = int(in->Take(5)) + 257, distanceCount = int(in->Take(5)) + 1;
  const int lengthCodes = int(in->Take(4)) + 4;
  uint8_t codeLengths[19] = {};
  for (int i = 0; i < lengthCodes; ++i) codeLengths[kOrder[i]] = uint8_t(in->Take(3));
  Code& lengthCode = codes->lengths;
  if (literalCount > 286 || distanceCount > 30 || !lengthCode.Build(codeLengths, 19)) return false;
  uint8_t lengths[286 + 30] = {};
  for (int i = 0; i < literalCount + distanceCount;) {
    const int symbol = lengthCode.Decode(in);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[i++] = uint8_t(symbol);
      continue;
    }
    if (symbol == 16 && i == 0) return false;  // nothing to repeat
    const uint8_t value = symbol == 16 ? lengths[i - 1] : 0;
    const int repeat = symbol == 16 ? 3 + int(in->Take(2)) : symbol == 17 ? 3 + int(in->Take(3)) : 11 + int(in->Take(7));
    if (i + repeat > literalCount + distanceCount) return false;
    for (int k = 0; k < repeat; ++k) lengths[i++] = value;
  }
  return lengths[256] != 0 && codes->literals.Build(lengths, literalCount, kLengthExtra, 257) &&
         codes->distances.Build(lengths + literalCount, distanceCount, kDistanceExtra, 0);
}

// Skips a block's symbols up to and including its end.
bool SkipSymbols(Bits* in, const Code& literals, const Code& distances) {
  const uint32_t literalMask = (1u << literals.bits) - 1, distanceMask = (1u << distances.bits) - 1;
  const size_t end = in->bytes * 8;
  for (;;) {
    // 56 bits: three literals take at most 45, a length and a distance with
    // their extra bits at most 48.
    in->Refill();
    uint16_t entry = 0;
    for (int k = 0; k < 3; ++k) {
      entry = literals.table[in->buffer & literalMask];
      if (entry >> 8 == kLong) entry = literals.LongEntry(in->buffer);
      if (entry >> 8 != kLiteral) break;
      in->Skip(entry & 0xFF);
    }
    if (in->Position() > end) return false;
    if (entry >> 8 == kLiteral) continue;
    if (in->count < 48) in->Refill();  // adds bits above those `entry` was read from
    in->Skip(entry & 0xFF);
    if (entry >> 8 == kEnd) return in->Position() <= end;
    if (entry >> 8 != kLength) return false;
    uint16_t distance = distances.table[in->buffer & distanceMask];
    if (distance >> 8 == kLong) distance = distances.LongEntry(in->buffer);
    if (distance >> 8 != kLength) return false;
    in->Skip(distance & 0xFF);
  }
}

}  // namespace

bool FindFinalBlock(const uint8_t* stream, size_t bytes, size_t* finalBlockBit, size_t* endBit) {
  std::unique_ptr<Codes> tables(new (std::nothrow) Codes);
  if (!tables) return false;
  Bits in{stream, bytes};
  for (;;) {
    const size_t start = in.Position();
    const bool final = in.Take(1) != 0;
    const uint32_t type = in.Take(2);
    if (type == 0) {
      in.SkipTo((in.Position() + 7) / 8 * 8);
      const uint32_t length = in.Take(16), check = in.Take(16);
      if ((length ^ check) != 0xFFFF) return false;
      in.SkipTo(in.Position() + 8 * size_t(length));
    } else if (type == 3) {
      return false;
    } else if (!(type == 1 ? FixedCodes(&tables->literals, &tables->distances) : DynamicCodes(&in, tables.get())) ||
               !SkipSymbols(&in, tables->literals, tables->distances)) {
      return false;
    }
    if (in.Overrun()) return false;
    if (final) {
      *finalBlockBit = start;
      *endBit = in.Position();
      return true;
    }
  }
}
