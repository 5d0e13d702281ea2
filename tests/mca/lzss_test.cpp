// Payload descrambling and LZSS expansion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mca/descramble.h"
#include "tests/support/whole_stream.h"
#include "tests/support/mca_builder.h"
#include "tests/support/plain_decoder.h"

namespace {

// Expands into a buffer with guard bytes after the capacity, checks the
// guards, and returns the produced bytes.
Bytes Expand(const Bytes& stream, size_t capacity, int32_t limit) {
  Bytes out(capacity + 32, 0xEE);
  const size_t produced = ExpandWhole(stream.data(), int32_t(stream.size()), out.data(), capacity, limit);
  EXPECT_LE(produced, capacity);
  for (size_t i = capacity; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past capacity at " << i;
  out.resize(produced);
  return out;
}

TEST(Descramble, OneByteUsesTheSeedAlone) {
  uint8_t b = 0x81;
  DescrambleWhole(&b, 1);
  EXPECT_EQ(b, uint8_t(0x03 ^ 0x3B));
}

TEST(Descramble, MaskAdvancesByTheBytesStillToCome) {
  // Mask for a 3-byte payload: 0x3B, 0x3B + 3, 0x3B + 3 + 2.
  uint8_t b[3] = {0, 0, 0};
  DescrambleWhole(b, 3);
  EXPECT_EQ(b[0], 0x3B);
  EXPECT_EQ(b[1], 0x3E);
  EXPECT_EQ(b[2], 0x40);
}

TEST(Descramble, UndoesScramblingAtEveryLengthAcrossTheMaskPeriod) {
  for (size_t length : {1u, 2u, 255u, 256u, 257u, 511u, 512u, 513u, 1024u, 1537u, 70000u}) {
    const Bytes plain = RandomBytes(length, uint32_t(length));
    Bytes b = ScramblePayload(plain);
    DescrambleWhole(b.data(), int32_t(b.size()));
    EXPECT_EQ(b, plain) << length;
  }
}

TEST(Descramble, AnyStretchMatchesTheWholePayload) {
  const Bytes scrambled = RandomBytes(3000, 9);
  Bytes whole = scrambled;
  DescrambleWhole(whole.data(), int32_t(whole.size()));
  DescrambleMask mask;
  BuildDescrambleMask(3000, &mask);
  for (size_t begin : {0u, 1u, 511u, 512u, 1000u, 2999u}) {
    for (size_t count : {0u, 1u, 513u, 1200u}) {
      const size_t n = std::min(count, 3000 - begin);
      Bytes stretch(n + 1, 0x77);
      ApplyDescrambleMask(mask, scrambled.data() + begin, stretch.data(), begin, n);
      EXPECT_TRUE(std::equal(stretch.begin(), stretch.begin() + long(n), whole.begin() + long(begin))) << begin;
      EXPECT_EQ(stretch[n], 0x77);
    }
  }
}

TEST(Descramble, EmptyOrNegativeLengthTouchesNothing) {
  uint8_t b = 0x55;
  DescrambleWhole(&b, 0);
  DescrambleWhole(&b, -3);
  EXPECT_EQ(b, 0x55);
}

TEST(Lzss, ReferenceToTheCurrentWritePositionRepeatsTheLiteral) {
  const Bytes stream = {0x01, 0x41, 0xEE, 0x2F};
  EXPECT_EQ(Expand(stream, 64, 6), Bytes(6, 0x41));
  EXPECT_EQ(Expand(stream, 64, 100), Bytes(6, 0x41));
  // The limit is tested before each token, so a reference that starts below it runs whole.
  EXPECT_EQ(Expand(stream, 64, 4), Bytes(6, 0x41));
  EXPECT_EQ(Expand(stream, 64, 1), Bytes(1, 0x41));
}

TEST(Lzss, NeverWrittenRingPositionsReadAsZero) {
  EXPECT_EQ(Expand({0x00, 0x00, 0x00}, 64, 64), Bytes(3, 0));
  // Position 4077 lies just before the first write: a zero, then the literal,
  // then the zero the reference itself just wrote.
  EXPECT_EQ(Expand({0x01, 'x', 0xED, 0x0F}, 64, 64), (Bytes{'x', 0, 'x', 0}));
}

// Whole groups of eight references in the first 4096 bytes of output, each
// to ring positions not yet written (2000 on, written from output byte 2018):
// zeros, as the plain ring decoder gives them, and nothing before the output
// is read (guard bytes lie there).
TEST(Lzss, GroupsOfReferencesToPositionsNotYetWrittenReadAsZero) {
  Bytes stream;
  for (int group = 0; group < 20; ++group) {
    stream.push_back(0x00);
    for (int token = 0; token < 8; ++token) stream.insert(stream.end(), {0xD0, 0x77});  // position 2000, 10 bytes
  }
  stream.insert(stream.end(), {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'});
  const size_t capacity = 4000;
  Bytes buffer(4096 + capacity, 0xEE);
  const size_t produced = ExpandWhole(stream.data(), int32_t(stream.size()), buffer.data() + 4096, capacity, 4000);
  const Bytes expected = PlainExpandLzss(stream.data(), int32_t(stream.size()), capacity, 4000);
  ASSERT_EQ(expected.size(), 20u * 8 * 10 + 8);
  EXPECT_EQ(Bytes(buffer.begin() + 4096, buffer.begin() + 4096 + std::ptrdiff_t(produced)), expected);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4096), Bytes(4096, 0xEE));
}

TEST(Lzss, EightLiteralsThenTheNextFlagByte) {
  const Bytes stream = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 9};
  EXPECT_EQ(Expand(stream, 64, 64), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(Lzss, LimitOfZeroOrLessProducesNothing) {
  const Bytes stream = {0xFF, 1, 2, 3};
  EXPECT_TRUE(Expand(stream, 64, 0).empty());
  EXPECT_TRUE(Expand(stream, 64, -5).empty());
  EXPECT_TRUE(Expand({}, 64, 10).empty());
}

TEST(Lzss, TokensCutShortByTheEndOfTheStreamStopIt) {
  EXPECT_TRUE(Expand({0xFF}, 64, 64).empty());                    // a flag byte alone
  EXPECT_TRUE(Expand({0xFE, 0xEE}, 64, 64).empty());              // one byte of a reference
  EXPECT_EQ(Expand({0x01, 'a', 0xEE}, 64, 64), Bytes{'a'});       // the same after a literal
}

TEST(Lzss, OutputStopsAtCapacity) {
  // Literal, then references of 18 bytes each.
  const Bytes stream = {0x01, 'q', 0xEE, 0xFF, 0xEE, 0xFF, 0xEE, 0xFF};
  EXPECT_EQ(Expand(stream, 10, 1000), Bytes(10, 'q'));
  EXPECT_EQ(Expand(stream, 1, 1000), Bytes(1, 'q'));
  EXPECT_TRUE(Expand(stream, 0, 1000).empty());
}

TEST(Lzss, RoundTripsOurEncoder) {
  for (uint32_t seed = 0; seed < 20; ++seed) {
    Bytes plain = RandomBytes(5000 + seed * 997, seed);
    for (size_t i = 0; i < plain.size(); ++i) {
      if ((i / 300) % 2 == 0) plain[i] = uint8_t(i / 300);  // long runs between the noise
    }
    const Bytes stream = CompressLzss(plain);
    EXPECT_EQ(Expand(stream, plain.size(), int32_t(plain.size())), plain) << seed;
  }
}

TEST(Lzss, MatchesThePlainRingDecoderOnArbitraryStreams) {
  for (uint32_t seed = 1; seed <= 3000; ++seed) {
    const Bytes stream = RandomBytes(1 + seed % 700, seed);
    const size_t capacity = (seed * 7919) % 6000;
    const int32_t limit = int32_t((seed * 104729) % 7000) - 100;
    ASSERT_EQ(Expand(stream, capacity, limit),
              PlainExpandLzss(stream.data(), int32_t(stream.size()), capacity, limit))
        << seed;
  }
}

TEST(Lzss, MatchesThePlainRingDecoderPastTheRingSize) {
  // Mostly references, so output runs far past 4096 and wraps the ring.
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    Bytes stream = RandomBytes(20000, seed);
    for (size_t i = 0; i < stream.size(); i += 17) stream[i] &= 0x11;
    ASSERT_EQ(Expand(stream, 200000, 150000),
              PlainExpandLzss(stream.data(), int32_t(stream.size()), 200000, 150000))
        << seed;
  }
}

// A stream of tokens: literal bytes, or references (ring position, count).
struct Token {
  bool literal;
  uint8_t byte;
  uint32_t position;
  uint32_t count;
};

Bytes Encode(const std::vector<Token>& tokens) {
  Bytes stream;
  for (size_t i = 0; i < tokens.size(); i += 8) {
    const size_t flagAt = stream.size();
    stream.push_back(0);
    for (size_t k = i; k < i + 8 && k < tokens.size(); ++k) {
      const Token& t = tokens[k];
      if (t.literal) {
        stream[flagAt] |= uint8_t(1u << (k - i));
        stream.push_back(t.byte);
      } else {
        stream.push_back(uint8_t(t.position));
        stream.push_back(uint8_t((t.position >> 8 & 0x0F) | (t.count - 3) << 4));
      }
    }
  }
  return stream;
}

// Where the expander changes roads, against the plain ring decoder with
// guard bytes before and after the output: literals up to each output
// position from 4064 to 4100 (at 4096 the output first holds a whole ring),
// then a whole group of references to ring positions not yet written (or,
// past 4096, written); and at the very end of the output an overlapping
// copy, a reference whose count is its distance plus one, at every distance.
TEST(Lzss, AroundTheFirstWholeRingAndOverlapsAtTheEnd) {
  struct Case {
    std::string what;
    std::vector<Token> tokens;
  };
  std::vector<Case> cases;
  for (uint32_t literals = 4064; literals <= 4100; ++literals) {
    Case c{"literals to " + std::to_string(literals), {}};
    for (uint32_t i = 0; i < literals; ++i) c.tokens.push_back({true, uint8_t(i * 7 + 1), 0, 0});
    // Each to the write position itself: 4096 bytes back, never written
    // while the output is shorter.
    for (uint32_t k = 0; k < 8; ++k) {
      c.tokens.push_back({false, 0, (kLzssStartPosition + literals + 18 * k) & 0xFFF, 18});
    }
    cases.push_back(c);
  }
  for (uint32_t distance = 2; distance <= 17; ++distance) {  // counts are 3 to 18
    Case c{"an overlap at distance " + std::to_string(distance) + " ending the output", {}};
    for (uint32_t i = 0; i < 100; ++i) c.tokens.push_back({true, uint8_t(i * 13 + 5), 0, 0});
    c.tokens.push_back({false, 0, (kLzssStartPosition + 100 - distance) & 0xFFF, distance + 1});
    cases.push_back(c);
  }
  for (const Case& c : cases) {
    const Bytes stream = Encode(c.tokens);
    size_t total = 0;
    for (const Token& t : c.tokens) total += t.literal ? 1 : t.count;
    const Bytes expected = PlainExpandLzss(stream.data(), int32_t(stream.size()), total, int32_t(total));
    ASSERT_EQ(expected.size(), total) << c.what;
    // Room past the last token, so that whole groups take the fast road
    // there too; E ends the output.
    const size_t capacity = total + 64;
    Bytes buffer(4096 + capacity + 64, 0xEE);
    const size_t produced =
        ExpandWhole(stream.data(), int32_t(stream.size()), buffer.data() + 4096, capacity, int32_t(total));
    ASSERT_EQ(produced, total) << c.what;
    EXPECT_EQ(Bytes(buffer.begin() + 4096, buffer.begin() + 4096 + std::ptrdiff_t(total)), expected) << c.what;
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4096), Bytes(4096, 0xEE)) << c.what << ": before the output";
    EXPECT_EQ(Bytes(buffer.end() - 64, buffer.end()), Bytes(64, 0xEE)) << c.what << ": past the capacity";
  }
}

}  // namespace
