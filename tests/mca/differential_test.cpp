// Every decode path of the public API against the plain reference decoder:
// into a buffer (RGB, DIB and BGR, over bytes that are not zero), to a row sink, and scaled, on one thread and
// on many, with batches from one row to the default, on the fuzz corpus and
// on pictures made to stress the seams between threads, batches and windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "mca/mca.h"
#include "tests/support/area_average.h"
#include "tests/support/collected_rows.h"
#include "tests/support/corpus.h"
#include "tests/support/mca_builder.h"
#include "tests/support/plain_decoder.h"

namespace {

struct Picture {
  std::string name;
  Bytes image;
};

std::vector<Picture> Pictures() {
  std::vector<Picture> pictures;
  // The seeds: the inputs the fuzzers found, which they compare with the
  // plain decoder themselves, include pictures of any size.
  for (CorpusFile& f : CorpusFiles(ZUVREK_SOURCE_DIR "/fuzz/corpus/picture", true)) {
    pictures.push_back({f.name, std::move(f.bytes)});
  }
  // Each compressed frame below holds over 1 MiB, so that threads take it.
  auto one = [&](const char* name, TestFrame frame) {
    TestContainer c;
    c.frames = {frame};
    pictures.push_back({name, BuildContainer(c)});
  };
  one("rows not a multiple of any batch", PictureFrame(1000, 353, 24, true, 1));
  one("a row wider than a batch", PictureFrame(90001, 4, 24, true, 2));
  one("references of every distance", EveryDistanceFrame(1000, 360, 3));
  one("references exactly 4096 back", PeriodicFrame(1001, 350, 4));
  TestContainer indexed;
  indexed.pixelFormat = 8;
  for (uint32_t i = 0; i < 256; ++i) indexed.palette.push_back(i * 0x00030507u);
  indexed.frames = {PictureFrame(1499, 700, 8, true, 5), RandomFrame(1200, 30, 8, false, 6)};
  pictures.push_back({"8-bit frames", BuildContainer(indexed)});
  return pictures;
}

// Threads asked for (the API keeps to 16) and rows a batch.
struct Setting {
  uint32_t threads;
  uint32_t batchRows;  // 0: the default batch
};
constexpr Setting kSettings[] = {{1, 0}, {2, 1}, {3, 3}, {17, 1}, {64, 7}};

TEST(Differential, EveryPathOnEveryPictureIsThePlainDecoders) {
  for (const Picture& p : Pictures()) {
    PlainPicture plain;
    mca_info info;
    if (!PlainDecode(p.image.data(), p.image.size(), &plain) ||
        mca_probe(p.image.data(), p.image.size(), &info, nullptr) != MCA_OK) {
      continue;  // a broken seed: the fuzzers' and the other tests' business
    }
    // Top-down rows: RGB, and BGR (the DIB's rows reversed, without their padding).
    const size_t rowBytes = 3 * size_t(plain.width);
    Bytes rgb, bgr;
    for (int32_t y = plain.height - 1; y >= 0; --y) {
      const uint8_t* row = plain.pixels.data() + size_t(y) * plain.stride;
      for (size_t x = 0; x < rowBytes; ++x) rgb.push_back(row[x - x % 3 + 2 - x % 3]);
      bgr.insert(bgr.end(), row, row + rowBytes);
    }
    for (const Setting& s : kSettings) {
      const std::string where = p.name + ", " + std::to_string(s.threads) + " threads, batch " +
                                std::to_string(s.batchRows);
      mca_options options;
      mca_default_options(&options);
      options.threads = s.threads;
      options.max_pixels = 0;  // seeds and seams of any shape
      options.max_dimension = 0;
      options.batch_bytes = uint32_t(s.batchRows * plain.stride);

      for (const auto& [layout, expected] : {std::pair{MCA_LAYOUT_RGB, &rgb}, std::pair{MCA_LAYOUT_BGR, &bgr}}) {
        options.layout = layout;
        Bytes buffer(rgb.size() + plain.height + 1, 0xEE);  // rows a byte apart
        ASSERT_EQ(mca_decode(p.image.data(), p.image.size(), &options, buffer.data(), rowBytes + 1, buffer.size(),
                             nullptr),
                  MCA_OK)
            << where;
        for (int32_t y = 0; y < plain.height; ++y) {
          const uint8_t* row = &buffer[size_t(y) * (rowBytes + 1)];
          ASSERT_TRUE(std::equal(row, row + rowBytes, expected->begin() + ptrdiff_t(size_t(y) * rowBytes)) &&
                      row[rowBytes] == 0xEE)
              << where << ": layout " << layout << ", row " << y;
        }
      }

      options.layout = MCA_LAYOUT_DIB;
      Bytes dib(plain.pixels.size(), 0xEE);
      ASSERT_EQ(mca_decode(p.image.data(), p.image.size(), &options, dib.data(), plain.stride, dib.size(), nullptr),
                MCA_OK)
          << where;
      ASSERT_TRUE(dib == plain.pixels) << where << ": DIB";
      options.layout = MCA_LAYOUT_RGB;

      CollectedRows rows;
      rows.rowBytes = rowBytes;
      const mca_row_sink sink = CollectRows(&rows);
      ASSERT_EQ(mca_decode_rows(p.image.data(), p.image.size(), &options, &sink, nullptr), MCA_OK) << where;
      ASSERT_TRUE(rows.inOrder && rows.count == plain.height && rows.rgb == rgb) << where << ": rows";

      if (plain.width == 0 || plain.height == 0 || s.threads > 3) continue;
      const int32_t width = plain.width / 3 + 1, height = plain.height / 2 + 1;
      CollectedRows scaled;
      scaled.rowBytes = 3 * size_t(width);
      const mca_row_sink scaledSink = CollectRows(&scaled);
      ASSERT_EQ(mca_decode_scaled(p.image.data(), p.image.size(), &options, width, height, &scaledSink, nullptr),
                MCA_OK)
          << where;
      ASSERT_TRUE(scaled.inOrder && scaled.count == height) << where;
      ASSERT_TRUE(WithinOne(scaled.rgb, AreaAverage(rgb, plain.width, plain.height, width, height)))
          << where << ": scaled";
    }
  }
}

// A file cut short in its last frame's payload: the frames before it, and
// black below, over a buffer that held other bytes; on one thread and on two.
TEST(Differential, ACutFileGivesTheFramesBeforeTheCutAndBlackBelow) {
  TestContainer c;
  c.frames = {PictureFrame(700, 400, 24, true, 7), RandomFrame(500, 300, 24, false, 8),
              PictureFrame(700, 500, 24, true, 9)};
  const Bytes whole = BuildContainer(c);
  const Bytes cut(whole.begin(), whole.end() - 100);
  const size_t rowBytes = 3 * 700;
  for (uint32_t threads : {1u, 2u}) {
    mca_options options;
    mca_default_options(&options);
    options.threads = threads;
    Bytes full(rowBytes * 1200), part(rowBytes * 1200, 0xEE);
    ASSERT_EQ(mca_decode(whole.data(), whole.size(), &options, full.data(), rowBytes, full.size(), nullptr), MCA_OK);
    mca_problem problem;
    ASSERT_EQ(mca_decode(cut.data(), cut.size(), &options, part.data(), rowBytes, part.size(), &problem),
              MCA_PAYLOAD_OUTSIDE);
    EXPECT_EQ(problem.frame, 2);
    const size_t placed = rowBytes * 700;
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + ptrdiff_t(placed), full.begin())) << threads << " threads";
    EXPECT_TRUE(std::all_of(part.begin() + ptrdiff_t(placed), part.end(), [](uint8_t b) { return b == 0; }))
        << threads << " threads";
  }
}

// One past the last layout, and the DIB for row decodes, which hand rows.
TEST(Differential, AnUnknownLayoutIsRefused) {
  const Bytes image = Pictures().front().image;
  mca_options options;
  mca_default_options(&options);
  uint8_t buffer[64];
  CollectedRows rows;
  const mca_row_sink sink = CollectRows(&rows);
  options.layout = static_cast<mca_layout>(MCA_LAYOUT_BGRA + 1);
  EXPECT_EQ(mca_decode(image.data(), image.size(), &options, buffer, 64, sizeof buffer, nullptr), MCA_BAD_ARGUMENT);
  for (const mca_layout layout : {MCA_LAYOUT_DIB, static_cast<mca_layout>(MCA_LAYOUT_BGRA + 1)}) {
    options.layout = layout;
    EXPECT_EQ(mca_decode_rows(image.data(), image.size(), &options, &sink, nullptr), MCA_BAD_ARGUMENT) << layout;
    EXPECT_EQ(mca_decode_scaled(image.data(), image.size(), &options, 1, 1, &sink, nullptr), MCA_BAD_ARGUMENT)
        << layout;
  }
  EXPECT_EQ(rows.count, 0);
}

}  // namespace
