// mca_encode: every kind of picture written and read back exactly, a
// template's unread bytes kept, the streams no larger than a greedy coder's,
// and every failure answered.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mca/mca.h"
#include "tests/support/fault_injection.h"
#include "tests/support/mca_builder.h"

namespace {

// A picture as rows of 4 bytes a pixel (red, green, blue, and a byte the
// encoder must not read), in any of the four layouts.
struct Picture {
  int32_t width;
  int32_t height;
  Bytes rgb;  // 3 a pixel, top row first
};

// `colours` distinct colours (0: noise, runs and gradients of any colour),
// grey where asked.
Picture MakePicture(int32_t width, int32_t height, uint32_t colours, bool grey, uint32_t seed) {
  Picture p{width, height, Bytes(3 * size_t(width) * size_t(height))};
  Random r{seed};
  uint32_t run = 0, colour = 0;
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    if (run == 0) {
      run = r.Next() % 40;
      colour = colours ? (i < colours ? uint32_t(i) : r.Next() % colours) * 0x010305u : r.Next();
    } else {
      --run;
      if (!colours) colour += 0x010101;
    }
    if (colours && i < colours) run = 0;  // every colour appears
    if (grey) colour = (colour & 0xFF) * 0x010101u;
    p.rgb[3 * i] = uint8_t(colour >> 16);
    p.rgb[3 * i + 1] = uint8_t(colour >> 8);
    p.rgb[3 * i + 2] = uint8_t(colour);
  }
  return p;
}

struct Source {
  const Picture* picture;
  mca_layout layout;
  int32_t stopAt = -1;
  int32_t calls = 0;
  static int Row(void* context, int32_t y, uint8_t* into) {
    Source& s = *static_cast<Source*>(context);
    ++s.calls;
    if (y == s.stopAt) return 1;
    const bool four = s.layout == MCA_LAYOUT_RGBA || s.layout == MCA_LAYOUT_BGRA;
    const bool blueFirst = s.layout == MCA_LAYOUT_BGR || s.layout == MCA_LAYOUT_BGRA;
    const uint8_t* in = s.picture->rgb.data() + 3 * size_t(s.picture->width) * size_t(y);
    for (int32_t x = 0; x < s.picture->width; ++x, in += 3) {
      *into++ = in[blueFirst ? 2 : 0];
      *into++ = in[1];
      *into++ = in[blueFirst ? 0 : 2];
      if (four) *into++ = uint8_t(x * 7);  // not alpha: never read
    }
    return 0;
  }
};

// The file in memory; every byte must be written exactly once.
struct Sink {
  Bytes file;
  std::vector<uint8_t> writes;
  int64_t failAfter = -1;
  static int Write(void* context, uint64_t offset, const uint8_t* bytes, size_t size) {
    Sink& s = *static_cast<Sink*>(context);
    if (s.failAfter == 0) return 0;
    if (s.failAfter > 0) --s.failAfter;
    if (s.file.size() < offset + size) {
      s.file.resize(offset + size);
      s.writes.resize(offset + size);
    }
    std::memcpy(s.file.data() + offset, bytes, size);
    for (size_t i = 0; i < size; ++i) ++s.writes[offset + i];
    return 1;
  }
};

mca_status Encode(const Picture& p, const mca_options& o, Sink* sink, mca_problem* problem = nullptr,
                  Source* source = nullptr) {
  Source own{&p, o.layout};
  if (!source) source = &own;
  const mca_row_source rows{Source::Row, source};
  const mca_writer writer{Sink::Write, sink};
  return mca_encode(p.width, p.height, &o, &rows, &writer, problem);
}

Bytes Decode(const Bytes& file, int32_t width, int32_t height) {
  Bytes out(3 * size_t(width) * size_t(height));
  mca_problem problem;
  EXPECT_EQ(mca_decode(file.data(), file.size(), nullptr, out.data(), 3 * size_t(width), out.size(), &problem),
            MCA_OK);
  return out;
}


uint32_t Le32(const Bytes& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

mca_options Options() {
  mca_options o;
  mca_default_options(&o);
  return o;
}

TEST(EncodeTest, EveryKindOfPictureComesBackExactly) {
  struct Case {
    const char* name;
    int32_t width, height;
    uint32_t colours;  // 0: any
    bool grey;
    mca_layout layout;
    int32_t depth, level, bandHeight;
    uint32_t threads;
    int32_t format;  // expected
  };
  const Case cases[] = {
      {"one pixel", 1, 1, 1, false, MCA_LAYOUT_RGB, 0, 1, 0, 0, 8},
      {"one pixel, 24-bit", 1, 1, 1, false, MCA_LAYOUT_RGB, 24, 1, 0, 0, 24},
      {"one column", 1, 300, 0, false, MCA_LAYOUT_BGR, 0, 1, 1, 0, 24},
      {"one row", 301, 1, 0, false, MCA_LAYOUT_RGBA, 0, 2, 0, 0, 24},
      {"odd widths pad 8-bit rows", 5, 9, 7, false, MCA_LAYOUT_BGRA, 0, 1, 2, 0, 8},
      {"odd widths pad 24-bit rows", 7, 9, 0, false, MCA_LAYOUT_RGB, 24, 1, 4, 0, 24},
      {"exactly 256 colours", 64, 64, 256, false, MCA_LAYOUT_RGB, 0, 1, 0, 0, 8},
      {"257 colours", 64, 64, 257, false, MCA_LAYOUT_RGB, 0, 1, 0, 0, 24},
      {"256 colours asked 8-bit", 40, 33, 256, false, MCA_LAYOUT_BGR, 8, 2, 5, 0, 8},
      {"grey", 97, 50, 0, true, MCA_LAYOUT_RGB, 0, 1, 0, 0, 8},
      {"grey, 24-bit", 97, 50, 0, true, MCA_LAYOUT_RGB, 24, 2, 0, 0, 24},
      {"stored", 123, 77, 0, false, MCA_LAYOUT_RGB, 0, 0, 10, 0, 24},
      {"stored 8-bit", 123, 77, 3, false, MCA_LAYOUT_RGB, 0, 0, 0, 0, 8},
      {"many bands on threads", 333, 700, 0, false, MCA_LAYOUT_BGRA, 0, 1, 3, 4, 24},
      {"many 8-bit bands on threads", 1001, 1100, 200, false, MCA_LAYOUT_RGB, 0, 2, 7, 3, 8},
      {"default bands on threads", 1500, 900, 0, false, MCA_LAYOUT_RGB, 0, 1, 0, 4, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Picture p = MakePicture(c.width, c.height, c.colours, c.grey, 7 + c.width);
    mca_options o = Options();
    o.layout = c.layout;
    o.depth = c.depth;
    o.level = c.level;
    o.band_height = c.bandHeight;
    o.threads = c.threads;
    Sink sink;
    ASSERT_EQ(Encode(p, o, &sink), MCA_OK);
    for (size_t i = 0; i < sink.writes.size(); ++i) ASSERT_EQ(sink.writes[i], 1) << "byte " << i;
    mca_info info;
    ASSERT_EQ(mca_probe(sink.file.data(), sink.file.size(), &info, nullptr), MCA_OK);
    EXPECT_EQ(info.pixel_format, c.format);
    const int32_t band = c.bandHeight ? c.bandHeight : info.frame_count == 1 ? c.height : 0;
    if (band) EXPECT_EQ(info.frame_count, (c.height + band - 1) / band);
    EXPECT_GE(info.reach_bytes, 3 * uint64_t(c.width) * uint64_t(c.height));
    EXPECT_TRUE(Decode(sink.file, c.width, c.height) == p.rgb);
    // Without a template every byte no decoder reads is zero.
    const Bytes& f = sink.file;
    for (size_t i : {3, 19, 28, 31, 36, 47}) EXPECT_EQ(f[i], 0) << "head byte " << i;
    for (int32_t k = 0; k < info.palette_count; ++k) EXPECT_EQ(f[48 + 4 * size_t(k) + 3], 0) << "entry " << k;
    for (int32_t k = 0; k < info.frame_count; ++k) {
      const size_t at = Le32(f, 48 + 4 * size_t(info.palette_count) + 4 * size_t(k));
      for (size_t i : {4, 11, 28, 31}) EXPECT_EQ(f[at + i], 0) << "frame " << k << " byte " << i;
    }
  }
}

TEST(EncodeTest, SameFileWhateverTheThreads) {
  const Picture p = MakePicture(800, 600, 0, false, 3);
  Bytes first;
  for (uint32_t threads : {1u, 2u, 5u}) {
    mca_options o = Options();
    o.threads = threads;
    o.band_height = 9;
    Sink sink;
    ASSERT_EQ(Encode(p, o, &sink), MCA_OK);
    if (first.empty()) first = sink.file;
    EXPECT_TRUE(sink.file == first) << threads << " threads";
  }
}

// A greedy longest-match coder over the same frame rows: the default level
// is no larger on pictures, and the optimal one smaller still.
TEST(EncodeTest, StreamsNoLargerThanGreedy) {
  struct Case {
    const char* name;
    TestFrame frame;
  };
  const Case cases[] = {
      {"runs, gradients, noise", PictureFrame(400, 300, 24, true, 5)},
      {"8-bit", PictureFrame(400, 300, 8, true, 6)},
      {"periodic", PeriodicFrame(200, 100, 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool indexed = c.frame.pixels.size() < 3 * size_t(c.frame.width) * size_t(c.frame.height);
    // The frame's pixels as the decoder gives them, to encode as one band.
    TestContainer container;
    container.pixelFormat = indexed ? 8 : 24;
    for (uint32_t i = 0; i < 256; ++i) container.palette.push_back(i * 0x010101u);
    container.frames = {c.frame};
    const Bytes original = BuildContainer(container);
    const Picture p{c.frame.width, c.frame.height, Decode(original, c.frame.width, c.frame.height)};
    const size_t greedy = CompressLzss(c.frame.pixels).size();
    size_t sizes[2];
    for (int32_t level : {1, 2}) {
      mca_options o = Options();
      o.level = level;
      o.band_height = c.frame.height;
      o.depth = indexed ? 8 : 24;
      Sink sink;
      ASSERT_EQ(Encode(p, o, &sink), MCA_OK);
      const size_t record = Le32(sink.file, 48 + (indexed ? 4 * Le32(sink.file, 24) : 0));
      ASSERT_EQ(Le32(sink.file, record), 1u) << "compressed";
      EXPECT_EQ(Le32(sink.file, record + 24), c.frame.pixels.size());
      sizes[level - 1] = Le32(sink.file, record + 20);
      EXPECT_TRUE(Decode(sink.file, p.width, p.height) == p.rgb);
    }
    EXPECT_LE(sizes[0], greedy);
    // The optimal parse finds fewer bits wherever the references leave a choice.
    if (c.name[0] == 'p') EXPECT_LE(sizes[1], sizes[0]);
    else EXPECT_LT(sizes[1], sizes[0]);
  }
}

// Noise gains nothing from coding: its frames are stored.
TEST(EncodeTest, NoiseIsStored) {
  Picture p{256, 256, RandomBytes(3 * 256 * 256, 11)};
  Sink sink;
  ASSERT_EQ(Encode(p, Options(), &sink), MCA_OK);
  EXPECT_EQ(Le32(sink.file, Le32(sink.file, 48)), 0u);
  EXPECT_LT(sink.file.size(), p.rgb.size() + 4096);
}

// A template with every unread byte set, frames of three widths, stored and
// compressed, and an 8-bit palette whose fourth bytes are set.
Bytes Template(int32_t pixelFormat) {
  TestContainer c;
  c.pixelFormat = pixelFormat;
  for (uint32_t i = 0; i < 200; ++i) c.palette.push_back(0x5A000000u | (i * 0x030201u & 0xFFFFFF));
  c.frames = {RandomFrame(60, 20, pixelFormat, true, 1, 200), RandomFrame(45, 10, pixelFormat, false, 2, 200),
              RandomFrame(61, 15, pixelFormat, true, 3, 200)};
  Bytes t = BuildContainer(c);
  const Bytes noise = RandomBytes(t.size(), 99);
  auto fill = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) t[i] = noise[i];
  };
  fill(3, 20);
  fill(28, 32);
  fill(36, 48);
  for (uint32_t f = 0; f < 3; ++f) {
    const size_t at = Le32(t, 48 + 4 * c.palette.size() + 4 * f);
    fill(at + 4, at + 12);
    fill(at + 28, at + 32);
    if (f == 1) PutLe32(t, at + 24, 0x5A5A5A5A);  // a stored frame's expanded size, which nothing reads
  }
  PutLe32(t, 20, uint32_t(pixelFormat == 8 ? 8 : 32));  // any format but 8 is 24-bit
  return t;
}

TEST(EncodeTest, TemplateKeepsEveryUnreadByte) {
  for (int32_t format : {8, 24}) {
    SCOPED_TRACE(format);
    const Bytes t = Template(format);
    Picture p{61, 45, Decode(t, 61, 45)};
    // An edit: new colours in the middle frame, one from the palette elsewhere.
    for (int32_t x = 0; x < 30; ++x) p.rgb[3 * size_t(25 * 61 + x)] = uint8_t(x * 5 + 1);
    mca_options o = Options();
    o.like = t.data();
    o.like_size = t.size();
    o.band_height = 3;  // a template decides
    Sink sink;
    ASSERT_EQ(Encode(p, o, &sink), MCA_OK);
    const Bytes& out = sink.file;
    EXPECT_TRUE(Decode(out, 61, 45) == p.rgb);
    auto same = [&](size_t ta, size_t oa, size_t from, size_t to) {
      for (size_t i = from; i < to; ++i) EXPECT_EQ(out[oa + i], t[ta + i]) << "byte " << i;
    };
    same(0, 0, 0, 24);
    same(0, 0, 28, 48);
    const uint32_t templateEntries = Le32(t, 24), entries = Le32(out, 24);
    if (format == 8) {
      EXPECT_EQ(entries, 230u);  // 200, and 30 new colours after them
      for (uint32_t i = 0; i < templateEntries; ++i) EXPECT_EQ(out[48 + 4 * i + 3], 0x5A);
    } else {
      EXPECT_EQ(entries, templateEntries);
      same(48, 48, 0, 4 * templateEntries);
    }
    for (uint32_t f = 0; f < 3; ++f) {
      const size_t ta = Le32(t, 48 + 4 * templateEntries + 4 * f), oa = Le32(out, 48 + 4 * entries + 4 * f);
      same(ta, oa, 0, 20);
      same(ta, oa, 28, 32);
      if (f == 1) same(ta, oa, 24, 28);  // a stored frame's expanded size is not read
    }
  }
}

// Colours all in the template's palette: the palette is kept as it was.
TEST(EncodeTest, TemplatePaletteKeptWhenItHoldsTheColours) {
  const Bytes t = Template(8);
  const Picture p{61, 45, Decode(t, 61, 45)};
  mca_options o = Options();
  o.like = t.data();
  o.like_size = t.size();
  Sink sink;
  ASSERT_EQ(Encode(p, o, &sink), MCA_OK);
  EXPECT_TRUE(Bytes(sink.file.begin(), sink.file.begin() + 48 + 800) == Bytes(t.begin(), t.begin() + 48 + 800));
}

TEST(EncodeTest, FailuresAreAnswered) {
  const Picture p = MakePicture(30, 20, 0, false, 1);
  const Picture few = MakePicture(30, 20, 9, false, 1);
  const Picture many = MakePicture(30, 20, 257, false, 1);
  const Bytes t = Template(8);
  const Picture templateSized = MakePicture(61, 45, 0, false, 2);
  struct Case {
    const char* name;
    const Picture* picture;
    void (*set)(mca_options*);
    const Bytes* like;
    mca_status status;
    const char* words;
  };
  const Case cases[] = {
      {"257 colours at depth 8", &many, [](mca_options* o) { o->depth = 8; }, nullptr, MCA_TOO_MANY_COLOURS,
       "more than 256 colours"},
      {"depth 16", &p, [](mca_options* o) { o->depth = 16; }, nullptr, MCA_BAD_ARGUMENT, nullptr},
      {"level past the last", &p, [](mca_options* o) { o->level = MCA_MAX_LEVEL + 1; }, nullptr, MCA_BAD_ARGUMENT,
       nullptr},
      {"level below 0", &p, [](mca_options* o) { o->level = -1; }, nullptr, MCA_BAD_ARGUMENT, nullptr},
      {"negative band", &p, [](mca_options* o) { o->band_height = -1; }, nullptr, MCA_BAD_ARGUMENT, nullptr},
      {"DIB rows", &p, [](mca_options* o) { o->layout = MCA_LAYOUT_DIB; }, nullptr, MCA_BAD_ARGUMENT, nullptr},
      {"over the size limit", &p, [](mca_options* o) { o->max_pixels = 599; }, nullptr, MCA_OVER_SIZE_LIMIT, nullptr},
      {"at the size limit", &few, [](mca_options* o) { o->max_pixels = 600; }, nullptr, MCA_OK, nullptr},
      {"template of another size", &p, nullptr, &t, MCA_SIZE_DIFFERS,
       "the picture is 30 x 20 but its template is 61 x 45"},
      {"8-bit template, too many colours", &templateSized, nullptr, &t, MCA_TOO_MANY_COLOURS, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mca_options o = Options();
    if (c.set) c.set(&o);
    if (c.like) {
      o.like = c.like->data();
      o.like_size = c.like->size();
    }
    Sink sink;
    mca_problem problem;
    EXPECT_EQ(Encode(*c.picture, o, &sink, &problem), c.status);
    if (c.words) {
      char text[MCA_DESCRIBE_ROOM];
      mca_describe(&problem, text, sizeof text);
      EXPECT_NE(std::string(text).find(c.words), std::string::npos) << text;
    }
  }
}

TEST(EncodeTest, TemplatesThatCannotServe) {
  const Picture p = MakePicture(61, 45, 0, false, 1);
  Bytes negative = Template(24);
  const size_t frame2 = Le32(negative, 48 + 800 + 4);
  PutLe32(negative, frame2 + 12, uint32_t(-1));
  Bytes cut = Template(24);
  cut.resize(Le32(cut, 48 + 800 + 8) + 31);  // the last frame's head cut
  Bytes damaged = Template(24);
  damaged.resize(damaged.size() - 1);  // a payload cut: the heads still serve
  const struct {
    const Bytes* like;
    mca_status status;
  } cases[] = {{&negative, MCA_UNFIT_TEMPLATE}, {&cut, MCA_FRAME_HEAD_OUTSIDE}, {&damaged, MCA_OK}};
  for (const auto& c : cases) {
    mca_options o = Options();
    o.like = c.like->data();
    o.like_size = c.like->size();
    Sink sink;
    EXPECT_EQ(Encode(p, o, &sink), c.status);
  }
}

// A row source that stops, a writer that fails, memory that runs out: an
// answer each time, at each point.
TEST(EncodeTest, StopsAndFailuresMidway) {
  const Picture p = MakePicture(300, 200, 100, false, 4);
  for (int32_t stopAt : {0, 199}) {
    for (int32_t depth : {0, 24}) {
      Source source{&p, MCA_LAYOUT_RGB, stopAt};
      mca_options o = Options();
      o.depth = depth;
      Sink sink;
      EXPECT_EQ(Encode(p, o, &sink, nullptr, &source), MCA_STOPPED);
    }
  }
  for (int64_t failAfter : {0, 1, 40}) {
    mca_options o = Options();
    o.band_height = 10;
    Sink sink;
    sink.failAfter = failAfter;
    EXPECT_EQ(Encode(p, o, &sink), MCA_WRITE_FAILED);
  }
  for (uint64_t n = 1; n < 12; ++n) {
    Sink sink;
    sink.file.reserve(1 << 20);
    sink.writes.reserve(1 << 20);
    mca_options o = Options();
    o.level = 2;
    o.threads = 1;
    ShimFailAllocation(unsigned(n));
    const mca_status status = Encode(p, o, &sink);
    ShimFailAllocation(0);
    EXPECT_TRUE(status == MCA_NO_MEMORY || status == MCA_OK) << n;
  }
}

}  // namespace
