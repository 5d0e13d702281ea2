// Chunks deflated alone and laid end to end inflate as one stream, at every
// level and for data whose codes run from one bit to fifteen.
#include "png/deflate_chunk.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> Inflated(const std::vector<uint8_t>& stream, size_t expected) {
  std::vector<uint8_t> out(expected + 1);
  z_stream z = {};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = uInt(stream.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  const int status = inflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  const bool whole = status == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return whole ? out : std::vector<uint8_t>{};
}

std::vector<uint8_t> Data(int kind, size_t bytes) {
  std::mt19937 random(uint32_t(kind + 1));
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    switch (kind) {
      case 0: data[i] = uint8_t(random()); break;   // noise: stored or eight-bit codes
      case 1: data[i] = 0; break;                  // one long run
      case 2: data[i] = uint8_t(i % 97 < 3 ? random() : 'a'); break;  // rare bytes: fifteen-bit codes
      default: data[i] = uint8_t("the quick brown fox "[random() % 20]); break;
    }
  }
  return data;
}

TEST(DeflateChunk, ChunksJoinIntoOneStream) {
  for (int level : {0, 1, 2, 6, 9, kDeflateAutoLevel}) {
    for (int kind = 0; kind < 4; ++kind) {
      for (size_t bytes : {size_t(0), size_t(1), size_t(70000), size_t(1) << 20}) {
        const std::vector<uint8_t> data = Data(kind, 3 * bytes);
        ChunkDeflater* deflater = NewChunkDeflater(level, kind == 3);
        ASSERT_NE(deflater, nullptr);
        std::vector<uint8_t> stream, chunk;
        for (size_t at = 0; at < 3; ++at) {
          ASSERT_TRUE(DeflateChunk(deflater, data.data() + at * bytes, bytes, at == 2, &chunk));
          stream.insert(stream.end(), chunk.begin(), chunk.end());
        }
        FreeChunkDeflater(deflater);
        EXPECT_TRUE(Inflated(stream, data.size()) == data) << "level " << level << ", data " << kind << ", " << bytes;
      }
    }
  }
}

// The auto level deflates a chunk that level 2 shrinks to under an eighth
// again at level 7 and keeps the smaller; any other chunk is level 2's.
TEST(DeflateChunk, AutoLevelKeepsTheSmallerOfTwo) {
  const auto size = [](int level, const std::vector<uint8_t>& data) {
    ChunkDeflater* deflater = NewChunkDeflater(level, false);
    std::vector<uint8_t> out;
    EXPECT_TRUE(DeflateChunk(deflater, data.data(), data.size(), true, &out));
    FreeChunkDeflater(deflater);
    return out.size();
  };
  std::vector<uint8_t> smooth(1 << 20);  // a gradient's filtered rows: small steps, long repeats
  for (size_t i = 0; i < smooth.size(); ++i) smooth[i] = uint8_t((i % 3000) / 700 + (i / 30000) % 3);
  const std::vector<uint8_t> noise = Data(0, 1 << 20);
  ASSERT_LT(size(2, smooth) * 8, smooth.size());
  ASSERT_NE(size(7, smooth), size(2, smooth));
  EXPECT_EQ(size(kDeflateAutoLevel, smooth), std::min(size(2, smooth), size(7, smooth)));
  EXPECT_EQ(size(kDeflateAutoLevel, noise), size(2, noise));
}

// zlib's streams too: fixed codes, stored blocks, fifteen-bit codes (geometric
// bytes, the rarest in runs), empty blocks from flushes, and skewed data:
// rare literals of long codes, then long matches far back, whose lengths
// and distances carry the most extra bits.
TEST(DeflateChunk, FindFinalBlockWalksZlibStreams) {
  std::mt19937 random(5);
  std::vector<uint8_t> geometric(200000), skewed(200000);
  for (size_t i = 0; i < geometric.size(); ++i) {
    geometric[i] = uint8_t(i % 1000 < 8 ? 40 + i % 8 : __builtin_ctz(random() | 0x80000000u));
  }
  for (size_t i = 0; i < skewed.size(); ++i) {
    if (i < 40000) skewed[i] = uint8_t(random() % 200 == 0 ? random() : 'a');
    else if (i < 70000) skewed[i] = uint8_t(random());
    else skewed[i] = skewed[i - 30000 + (i / 9000) % 7];  // matches ~30000 back, up to 258 long
  }
  for (const std::vector<uint8_t>& data : {geometric, skewed}) {
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
      for (int level : {0, 1, 9}) {
        z_stream z = {};
        deflateInit2(&z, level, Z_DEFLATED, -15, 9, strategy);
        std::vector<uint8_t> stream(deflateBound(&z, uLong(data.size())) + 64);
        z.next_out = stream.data();
        z.avail_out = uInt(stream.size());
        for (size_t at = 0; at < data.size(); at += 50000) {
          z.next_in = const_cast<Bytef*>(&data[at]);
          z.avail_in = 50000;
          deflate(&z, at + 50000 < data.size() ? Z_FULL_FLUSH : Z_FINISH);
        }
        stream.resize(stream.size() - z.avail_out);
        deflateEnd(&z);
        size_t finalBit = 0, endBit = 0;
        EXPECT_TRUE(FindFinalBlock(stream.data(), stream.size(), &finalBit, &endBit)) << strategy << ", " << level;
        EXPECT_EQ((endBit + 7) / 8, stream.size()) << strategy << ", " << level;
      }
    }
  }
}

TEST(DeflateChunk, FindFinalBlockRefusesBrokenStreams) {
  const std::vector<uint8_t> data = Data(2, 100000);
  ChunkDeflater* deflater = NewChunkDeflater(6, false);
  std::vector<uint8_t> stream;
  ASSERT_TRUE(DeflateChunk(deflater, data.data(), data.size(), true, &stream));
  FreeChunkDeflater(deflater);
  size_t finalBit = 0, endBit = 0;
  ASSERT_TRUE(FindFinalBlock(stream.data(), stream.size(), &finalBit, &endBit));
  EXPECT_EQ((endBit + 7) / 8, stream.size());
  // Cut short, or the final bit cleared so that the stream runs on past its end.
  for (size_t cut : {size_t(0), size_t(1), stream.size() / 2, stream.size() - 1}) {
    EXPECT_FALSE(FindFinalBlock(stream.data(), cut, &finalBit, &endBit)) << cut;
  }
  std::vector<uint8_t> open = stream;
  open[finalBit / 8] &= uint8_t(~(1u << (finalBit % 8)));
  EXPECT_FALSE(FindFinalBlock(open.data(), open.size(), &finalBit, &endBit));
}

}  // namespace
