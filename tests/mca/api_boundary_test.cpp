// The public API at its edges: a buffer exactly long enough and one byte
// short, in every layout and at two strides; the area average exact where
// each output pixel covers whole source pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstddef>
#include <cstring>
#include <string>

#include "mca/mca.h"
#include "tests/support/collected_rows.h"
#include "tests/support/mca_builder.h"

namespace {

Bytes TwoFramePicture() {
  TestContainer c;
  c.frames = {RandomFrame(7, 5, 24, true, 71), RandomFrame(5, 4, 24, false, 72)};  // a narrower frame too
  return BuildContainer(c);
}

TEST(ApiBoundary, BufferExactlyLongEnoughAndOneByteShort) {
  const Bytes image = TwoFramePicture();
  // The whole 7 x 9 picture through mca_decode, and scaled to 5 x 4 through
  // mca_decode_sized (which takes no DIB when smaller).
  for (const bool scaled : {false, true}) {
    const int32_t width = scaled ? 5 : 7, height = scaled ? 4 : 9;
    for (const mca_layout layout :
         {MCA_LAYOUT_RGB, MCA_LAYOUT_BGR, MCA_LAYOUT_DIB, MCA_LAYOUT_RGBA, MCA_LAYOUT_BGRA}) {
      if (scaled && layout == MCA_LAYOUT_DIB) continue;
      const size_t pixelBytes = layout == MCA_LAYOUT_RGBA || layout == MCA_LAYOUT_BGRA ? 4 : 3;
      const size_t rowBytes = layout == MCA_LAYOUT_DIB ? 24 : pixelBytes * size_t(width);  // DIB rows padded to 4
      size_t askedRow = 0, askedAll = 0;
      ASSERT_EQ(mca_buffer_size(width, height, layout, &askedRow, &askedAll, nullptr), MCA_OK);
      EXPECT_EQ(askedRow, rowBytes);
      EXPECT_EQ(askedAll, rowBytes * size_t(height));
      mca_options options;
      mca_default_options(&options);
      options.layout = layout;
      const auto decode = [&](uint8_t* buffer, size_t stride, size_t bytes, mca_problem* problem) {
        return scaled ? mca_decode_sized(image.data(), image.size(), &options, width, height, buffer, stride, bytes,
                                         problem)
                      : mca_decode(image.data(), image.size(), &options, buffer, stride, bytes, problem);
      };
      for (const size_t stride : {rowBytes, rowBytes + 5}) {
        const std::string where = std::to_string(width) + " x " + std::to_string(height) + ", layout " +
                                  std::to_string(layout) + ", stride " + std::to_string(stride);
        const size_t needed = stride * (height - 1) + rowBytes;  // the last row ends after its bytes
        Bytes buffer(needed + 8, 0xEE);
        mca_problem problem;
        EXPECT_EQ(decode(buffer.data(), stride, needed - 1, &problem), MCA_BUFFER_TOO_SMALL) << where;
        EXPECT_EQ(problem.value, int64_t(needed)) << where;
        EXPECT_EQ(problem.limit, int64_t(needed - 1)) << where;
        EXPECT_EQ(buffer, Bytes(needed + 8, 0xEE)) << where << ": a refused decode writes nothing";
        ASSERT_EQ(decode(buffer.data(), stride, needed, &problem), MCA_OK) << where;
        EXPECT_EQ(Bytes(buffer.end() - 8, buffer.end()), Bytes(8, 0xEE)) << where << ": nothing past the buffer";
        EXPECT_EQ(decode(buffer.data(), rowBytes - 1, buffer.size(), nullptr), MCA_BAD_ARGUMENT)
            << where << ": a stride shorter than a row";
        // A stride whose rows overflow any product is too long for any buffer.
        EXPECT_EQ(decode(buffer.data(), SIZE_MAX / 2 + 1, buffer.size(), &problem), MCA_BUFFER_TOO_SMALL) << where;
      }
    }
  }
}

// The buffer a size takes: a side of 0 takes none; negative sides, unknown
// layouts and null outputs are refused; more than a size_t holds is too large.
TEST(ApiBoundary, BufferSizeOfEveryLayoutAtItsEdges) {
  const bool wide = sizeof(size_t) == 8;
  const struct {
    int32_t width, height;
    int layout;
    mca_status status;
    size_t stride, bytes;
  } cases[] = {
      {0, 5, MCA_LAYOUT_DIB, MCA_OK, 0, 0},
      {5, 0, MCA_LAYOUT_RGBA, MCA_OK, 20, 0},
      {1, 1, MCA_LAYOUT_DIB, MCA_OK, 4, 4},
      {4, 2, MCA_LAYOUT_DIB, MCA_OK, 12, 24},
      {5, 2, MCA_LAYOUT_DIB, MCA_OK, 16, 32},
      {5, 2, MCA_LAYOUT_BGR, MCA_OK, 15, 30},
      {-1, 2, MCA_LAYOUT_RGB, MCA_BAD_ARGUMENT, 0, 0},
      {2, -1, MCA_LAYOUT_RGB, MCA_BAD_ARGUMENT, 0, 0},
      {2, 2, MCA_LAYOUT_BGRA + 1, MCA_BAD_ARGUMENT, 0, 0},
      {65536, 16384, MCA_LAYOUT_RGBA, wide ? MCA_OK : MCA_TOO_LARGE, size_t(wide ? 262144 : 0),
       size_t(wide ? 1ull << 32 : 0)},
      {65535, 16384, MCA_LAYOUT_RGBA, MCA_OK, 262140, 262140u * 16384u},
      {INT32_MAX, INT32_MAX, MCA_LAYOUT_RGBA, wide ? MCA_OK : MCA_TOO_LARGE, size_t(wide ? 4ull * INT32_MAX : 0),
       size_t(wide ? 4ull * INT32_MAX * INT32_MAX : 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", layout " << c.layout);
    size_t stride = 0, bytes = 0;
    mca_problem problem;
    ASSERT_EQ(mca_buffer_size(c.width, c.height, mca_layout(c.layout), &stride, &bytes, &problem), c.status);
    EXPECT_EQ(stride, c.stride);
    EXPECT_EQ(bytes, c.bytes);
  }
  size_t stride = 0;
  EXPECT_EQ(mca_buffer_size(1, 1, MCA_LAYOUT_RGB, &stride, nullptr, nullptr), MCA_BAD_ARGUMENT);
}

// Every layout, from every decode, holds the RGB pixels in its own order:
// mca_decode's buffer (also of a file cut short: the frames before the cut,
// then black, every pixel opaque), the rows, and the scaled rows.
TEST(ApiBoundary, EveryLayoutFromEveryDecodeHoldsTheSamePixels) {
  const Bytes whole = TwoFramePicture();
  Bytes cut = whole;
  do {
    cut.pop_back();
  } while (mca_probe(cut.data(), cut.size(), nullptr, nullptr) != MCA_PAYLOAD_OUTSIDE);
  struct Layout {
    mca_layout layout;
    size_t bytes;
    int order[3];  // where red, green and blue go; 255 after them in 4-byte layouts
  } layouts[] = {{MCA_LAYOUT_BGR, 3, {2, 1, 0}}, {MCA_LAYOUT_RGBA, 4, {0, 1, 2}}, {MCA_LAYOUT_BGRA, 4, {2, 1, 0}}};
  const auto arranged = [](const Bytes& rgb, const Layout& l) {
    Bytes out;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      uint8_t pixel[4] = {0, 0, 0, 255};
      for (int c = 0; c < 3; ++c) pixel[l.order[c]] = rgb[i + c];
      out.insert(out.end(), pixel, pixel + l.bytes);
    }
    return out;
  };
  mca_options options;
  mca_default_options(&options);
  const int32_t width = 7, height = 9;
  for (const Bytes* image : {&whole, static_cast<const Bytes*>(&cut)}) {
    Bytes rgb(3 * width * height, 0xEE);
    const mca_status expected = mca_decode(image->data(), image->size(), &options, rgb.data(), 3 * width,
                                           rgb.size(), nullptr);
    CollectedRows scaledRgb;
    scaledRgb.rowBytes = 3 * 3;
    const mca_row_sink scaledRgbSink = CollectRows(&scaledRgb);
    mca_decode_scaled(image->data(), image->size(), &options, 3, 4, &scaledRgbSink, nullptr);
    for (const Layout& l : layouts) {
      const std::string where = std::string(image == &whole ? "whole" : "cut") + ", layout " + std::to_string(l.layout);
      mca_options in = options;
      in.layout = l.layout;
      Bytes buffer(l.bytes * width * height + 1, 0xEE);
      EXPECT_EQ(mca_decode(image->data(), image->size(), &in, buffer.data(), l.bytes * width, buffer.size() - 1,
                           nullptr),
                expected)
          << where;
      EXPECT_EQ(Bytes(buffer.begin(), buffer.end() - 1), arranged(rgb, l)) << where << ": mca_decode";
      EXPECT_EQ(buffer.back(), 0xEE) << where << ": nothing past the buffer";
      CollectedRows rows, scaled;
      rows.rowBytes = l.bytes * width;
      scaled.rowBytes = l.bytes * 3;
      const mca_row_sink rowSink = CollectRows(&rows), scaledSink = CollectRows(&scaled);
      EXPECT_EQ(mca_decode_rows(image->data(), image->size(), &in, &rowSink, nullptr), expected) << where;
      EXPECT_EQ(mca_decode_scaled(image->data(), image->size(), &in, 3, 4, &scaledSink, nullptr), expected) << where;
      if (image == &whole) {
        EXPECT_EQ(rows.rgb, arranged(rgb, l)) << where << ": rows";
        EXPECT_EQ(scaled.rgb, arranged(scaledRgb.rgb, l)) << where << ": scaled rows";
        // mca_decode_sized: the scaled rows into a buffer, exactly long enough.
        Bytes sized(l.bytes * 3 * 4, 0xEE);
        EXPECT_EQ(mca_decode_sized(image->data(), image->size(), &in, 3, 4, sized.data(), l.bytes * 3, sized.size(),
                                   nullptr),
                  MCA_OK)
            << where;
        EXPECT_EQ(sized, arranged(scaledRgb.rgb, l)) << where << ": sized";
        EXPECT_EQ(mca_decode_sized(image->data(), image->size(), &in, 3, 4, sized.data(), l.bytes * 3,
                                   sized.size() - 1, nullptr),
                  MCA_BUFFER_TOO_SMALL)
            << where;
      }
      // At the picture's own size, mca_decode_sized is mca_decode, a cut file too.
      Bytes own(l.bytes * width * height, 0xEE);
      EXPECT_EQ(mca_decode_sized(image->data(), image->size(), &in, width, height, own.data(), l.bytes * width,
                                 own.size(), nullptr),
                expected)
          << where;
      EXPECT_EQ(own, arranged(rgb, l)) << where << ": sized at its own size";
    }
  }
}

// Each output pixel covers factor x factor whole source pixels: it is their
// mean, rounded to nearest (halves up), channel by channel.
TEST(ApiBoundary, AreaAverageOfWholePixelsIsTheRoundedMean) {
  for (const int32_t factor : {2, 3}) {
    const int32_t width = 5, height = 4;
    TestContainer c;
    c.frames = {RandomFrame(width * factor, height * factor, 24, true, 80 + factor)};
    const Bytes image = BuildContainer(c);
    CollectedRows full, scaled;
    full.rowBytes = 3 * size_t(width * factor);
    scaled.rowBytes = 3 * size_t(width);
    const mca_row_sink fullSink = CollectRows(&full), scaledSink = CollectRows(&scaled);
    ASSERT_EQ(mca_decode_rows(image.data(), image.size(), nullptr, &fullSink, nullptr), MCA_OK);
    ASSERT_EQ(mca_decode_scaled(image.data(), image.size(), nullptr, width, height, &scaledSink, nullptr), MCA_OK);
    ASSERT_EQ(scaled.rgb.size(), 3 * size_t(width * height));
    const uint32_t area = uint32_t(factor * factor);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        for (int32_t k = 0; k < 3; ++k) {
          uint32_t sum = 0;
          for (int32_t dy = 0; dy < factor; ++dy) {
            for (int32_t dx = 0; dx < factor; ++dx) {
              sum += full.rgb[full.rowBytes * size_t(y * factor + dy) + 3 * size_t(x * factor + dx) + size_t(k)];
            }
          }
          ASSERT_EQ(scaled.rgb[scaled.rowBytes * size_t(y) + 3 * size_t(x) + size_t(k)], (sum + area / 2) / area)
              << "1/" << factor << ", pixel " << x << "," << y << ", channel " << k;
        }
      }
    }
  }
}

// No data is empty data, whatever size comes with it: nothing is read.
TEST(ApiBoundary, NullDataIsEmptyWhateverItsSize) {
  mca_info info;
  EXPECT_EQ(mca_probe(nullptr, 100, &info, nullptr), MCA_NOT_MCA);
  EXPECT_EQ(mca_probe_container(nullptr, 100, &info, nullptr), MCA_HEAD_OUTSIDE);
  CollectedRows rows;
  const mca_row_sink sink = CollectRows(&rows);
  EXPECT_EQ(mca_decode_scaled(nullptr, 100, nullptr, 1, 1, &sink, nullptr), MCA_HEAD_OUTSIDE);
}

}  // namespace

namespace {

// The options carry their size: a struct not made by mca_default_options (a
// size of 0, or fewer fields than the first struct with a size) is refused
// by every call that takes options; a caller built with more fields than
// this library knows is read as far as it knows.
TEST(ApiBoundary, OptionsOfEverySize) {
  const Bytes image = TwoFramePicture();
  struct Newer {
    mca_options known;
    uint32_t later[4];
  };
  // The first options struct ended with decode_damaged; a caller built then
  // passes that size and gets the later fields' defaults.
  const int64_t first = int64_t(offsetof(mca_options, decode_damaged) + sizeof(int));
  for (const int64_t size : {int64_t(0), first - 1, first, int64_t(sizeof(mca_options)), int64_t(sizeof(Newer))}) {
    Newer options;
    std::memset(&options, 0x7F, sizeof options);
    mca_default_options(&options.known);
    options.known.size = uint32_t(size);
    const mca_status expected = size < first ? MCA_BAD_ARGUMENT : MCA_OK;
    if (size >= first && size < int64_t(sizeof(mca_options))) {
      std::memset(reinterpret_cast<uint8_t*>(&options.known) + size, 0x7F, sizeof(mca_options) - size_t(size));
    }
    Bytes buffer(3 * 7 * 9);
    mca_problem problem;
    const mca_row_sink sink = {nullptr, [](void*, int32_t, const uint8_t*) { return 0; }, nullptr};
    EXPECT_EQ(mca_decode(image.data(), image.size(), &options.known, buffer.data(), 21, buffer.size(), &problem),
              expected)
        << size;
    EXPECT_EQ(mca_decode_sized(image.data(), image.size(), &options.known, 3, 3, buffer.data(), 9, 27, &problem),
              expected)
        << size;
    EXPECT_EQ(mca_decode_rows(image.data(), image.size(), &options.known, &sink, &problem), expected) << size;
    EXPECT_EQ(mca_decode_scaled(image.data(), image.size(), &options.known, 2, 2, &sink, &problem), expected)
        << size;
    EXPECT_EQ(mca_check_limits(7, 9, &options.known, &problem), expected) << size;
  }
}

// The limits as a caller checks a size before allocating: a side of 0 has
// no pixels whatever the other; each limit at itself and one past.
TEST(ApiBoundary, CheckLimitsAtTheirEdges) {
  mca_options options;
  mca_default_options(&options);
  options.max_pixels = 100;
  options.max_dimension = 20;
  const struct {
    int32_t width, height;
    mca_status status;
  } cases[] = {{0, 5, MCA_NO_PIXELS},   {5, 0, MCA_NO_PIXELS},  {0, 0, MCA_NO_PIXELS},
               {0, 99, MCA_NO_PIXELS},  {-1, 5, MCA_BAD_ARGUMENT}, {5, -1, MCA_BAD_ARGUMENT},
               {20, 5, MCA_OK},         {21, 1, MCA_OVER_DIMENSION_LIMIT}, {1, 21, MCA_OVER_DIMENSION_LIMIT},
               {10, 10, MCA_OK},        {11, 10, MCA_OVER_SIZE_LIMIT},     {10, 11, MCA_OVER_SIZE_LIMIT}};
  for (const auto& c : cases) {
    mca_problem problem;
    EXPECT_EQ(mca_check_limits(c.width, c.height, &options, &problem), c.status) << c.width << " x " << c.height;
    if (c.status == MCA_NO_PIXELS) {
      EXPECT_EQ(problem.width, c.width);
      EXPECT_EQ(problem.height, c.height);
    }
  }
}

}  // namespace

// Every status's words, with the widest figures a problem can carry, fit the
// room the API names for them; a byte less would cut the longest.
TEST(ApiBoundary, EveryProblemsWordsFitTheNamedRoom) {
  size_t longest = 0;
  for (int status = MCA_OK; status <= MCA_WRITE_FAILED; ++status) {
    for (const int64_t figure : {int64_t(0), INT64_MAX, INT64_MIN}) {
      const mca_problem problem = {mca_status(status), INT32_MAX, figure, figure, INT32_MAX, INT32_MIN};
      char words[MCA_DESCRIBE_ROOM];
      const size_t length = mca_describe(&problem, words, sizeof words);
      EXPECT_LT(length, size_t(MCA_DESCRIBE_ROOM)) << "status " << status;
      EXPECT_EQ(std::strlen(words), length) << "status " << status;
      longest = std::max(longest, length);
    }
  }
  EXPECT_GT(longest, size_t(MCA_DESCRIBE_ROOM) / 2);  // the room is not idly large
}
