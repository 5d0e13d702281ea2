// mcadec end to end: the real program on generated pictures, its files read
// back against the plug-in's own pixels.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <string>

#include "png/colour_table.h"
#include "tests/support/rgb_pictures.h"

namespace {

struct Outcome {
  int status;
  std::string errors;
};

// Runs mcadec with `arguments` (shell words) in `folder`.
Outcome Mcadec(const ScratchFolder& folder, const std::string& arguments, const std::string& prefix = "") {
  const std::string errors = folder / "stderr.txt";
  const std::string command =
      "cd '" + folder.path() + "' && " + prefix + "'" MCADEC_PATH "' " + arguments + " 2> '" + errors + "'";
  const int raw = std::system(command.c_str());
  const Bytes text = ReadBytes(errors);
  std::remove(errors.c_str());
  return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(text.begin(), text.end())};
}

TEST(Mcadec, EveryFormatReadsBackAsThePluginsPixels) {
  const struct {
    const char* extension;
    RgbImage (*read)(const std::string&);
  } formats[] = {{"png", [](const std::string& p) { return ReadPng(p); }}, {"bmp", ReadBmp}, {"ppm", ReadPpm}};
  for (const NamedPicture& picture : ProgramTestPictures()) {
    ScratchFolder folder;
    WriteBytes(folder / "in.mca", picture.image);
    const RgbImage expected = PluginPixels(picture.image);
    ASSERT_GT(expected.width, 0) << picture.name;
    for (const auto& format : formats) {
      const std::string out = std::string("out.") + format.extension;
      const Outcome run = Mcadec(folder, "-q -o " + out + " in.mca");
      ASSERT_EQ(run.status, 0) << picture.name << ": " << run.errors;
      EXPECT_TRUE(format.read(folder / out) == expected) << picture.name << " as " << format.extension;
    }
  }
}

TEST(Mcadec, PalettePicturesBecomeIndexedPngsOnlyWhenExact) {
  for (const NamedPicture& picture : ProgramTestPictures()) {
    ScratchFolder folder;
    WriteBytes(folder / "in.mca", picture.image);
    ASSERT_EQ(Mcadec(folder, "in.mca").status, 0);
    bool indexed = false;
    EXPECT_TRUE(ReadPng(folder / "in.png", &indexed) == PluginPixels(picture.image)) << picture.name;
    EXPECT_EQ(indexed, picture.name.rfind("8-bit", 0) == 0) << picture.name;
  }
}

// An 8-bit picture whose `colours` palette entries (none black) all show, in
// a frame as wide as the palette, and, with `narrower`, a frame of 4 pixels
// whose padding shows black: `colours`, or one more, colours in all.
Bytes PaletteColours(uint32_t colours, bool narrower) {
  TestContainer c;
  c.pixelFormat = 8;
  TestFrame wide;
  wide.width = int32_t(colours);
  wide.height = 2;
  for (uint32_t i = 0; i < colours; ++i) c.palette.push_back(0x40u | (255 - i) << 8 | i << 16);
  for (int32_t y = 0; y < wide.height; ++y) {
    for (uint32_t i = 0; i < colours; ++i) wide.pixels.push_back(uint8_t(i));
    wide.pixels.resize(size_t(SourceRowBytes(wide.width, 8)) * size_t(y + 1), 0);
  }
  c.frames = {wide};
  if (narrower) {
    TestFrame small;
    small.width = 4;
    small.height = 1;
    small.pixels = {0, 1, 2, 3};
    c.frames.push_back(small);
  }
  return BuildContainer(c);
}

// The colour table tells colours apart by every channel: six colours that
// differ from one another in one channel each get indexes of their own.
TEST(Mcadec, ColourTableTellsEveryChannelApart) {
  ColourTable table;
  std::vector<std::array<uint8_t, 3>> colours;
  for (int channel = 0; channel < 3; ++channel) {
    for (const uint8_t value : {uint8_t{0x10}, uint8_t{0x11}}) {
      std::array<uint8_t, 3> colour = {0x40, 0x40, 0x40};
      colour[size_t(channel)] = value;
      colours.push_back(colour);
      ASSERT_TRUE(table.Add(colour.data()));
    }
  }
  ASSERT_EQ(table.entries().size(), 3 * colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    EXPECT_EQ(table.IndexOf(colours[i].data()), i);
    EXPECT_TRUE(std::equal(colours[i].begin(), colours[i].end(), table.entries().begin() + 3 * i));
  }
}

TEST(Mcadec, IndexedPngUpTo256ColoursAndNotOneMore) {
  const struct {
    uint32_t palette;
    bool narrower;
    bool indexed;
  } cases[] = {{256, false, true}, {255, true, true}, {256, true, false}};  // 256, 256 and 257 colours
  for (const auto& c : cases) {
    ScratchFolder folder;
    const Bytes image = PaletteColours(c.palette, c.narrower);
    WriteBytes(folder / "in.mca", image);
    ASSERT_EQ(Mcadec(folder, "in.mca").status, 0);
    bool indexed = !c.indexed;
    EXPECT_TRUE(ReadPng(folder / "in.png", &indexed) == PluginPixels(image)) << c.palette << ", " << c.narrower;
    EXPECT_EQ(indexed, c.indexed) << c.palette << " palette entries, narrower frame: " << c.narrower;
  }
}

// The PNG's zlib stream inflated whole with its checksum checked: the bytes
// it holds, or 0 when it is broken, ends early or leaves data over.
size_t InflatedBytes(const Bytes& png) {
  Bytes data;
  for (size_t at = 8; at + 12 <= png.size();) {
    const size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
    if (std::string(png.begin() + ptrdiff_t(at + 4), png.begin() + ptrdiff_t(at + 8)) == "IDAT") {
      data.insert(data.end(), png.begin() + ptrdiff_t(at + 8), png.begin() + ptrdiff_t(at + 8 + length));
    }
    at += 12 + length;
  }
  z_stream z = {};
  if (inflateInit(&z) != Z_OK) return 0;
  Bytes out(1 << 16);
  size_t total = 0;
  z.next_in = data.data();
  z.avail_in = uInt(data.size());
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    total += out.size() - z.avail_out;
  }
  const bool whole = status == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return whole ? total : 0;
}

// Pictures of several 1 MiB chunks, deflated on 1 to 8 threads: one zlib
// stream, checksum right, every pixel the plug-in's, and the same bytes
// whatever the number of threads.
TEST(Mcadec, PngOfManyChunksOnAnyNumberOfThreads) {
  TestContainer varied, noise, indexed, alternating;
  varied.frames = {PictureFrame(1200, 700, 24, true, 90), RandomFrame(900, 300, 24, true, 91, 4)};
  // Chunks of exactly 350 rows of 3001 filtered bytes, two textures of ten
  // rows taking turns chunk by chunk: a chunk primed with any 32 KiB but the
  // chunk before it finds matches the inflater cannot follow.
  TestFrame bands;
  bands.width = 1000;
  bands.height = 1400;
  std::vector<Bytes> rows;
  for (uint32_t k = 0; k < 20; ++k) rows.push_back(RandomBytes(3000, 100 + k));
  for (int32_t y = 0; y < bands.height; ++y) {
    const Bytes& row = rows[size_t(y / 350 % 2 * 10 + y % 10)];
    bands.pixels.insert(bands.pixels.end(), row.begin(), row.end());
  }
  alternating.frames = {bands};
  noise.frames = {RandomFrame(1000, 800, 24, false, 92)};
  indexed.pixelFormat = 8;
  for (uint32_t i = 0; i < 100; ++i) indexed.palette.push_back(i * 0x00020509u);
  indexed.frames = {PictureFrame(1500, 1500, 8, true, 93)};
  for (const Bytes& image :
       {BuildContainer(varied), BuildContainer(noise), BuildContainer(indexed), BuildContainer(alternating)}) {
    ScratchFolder folder;
    WriteBytes(folder / "in.mca", image);
    const RgbImage expected = PluginPixels(image);
    bool isIndexed = false;
    Bytes first;
    // Every level's blocks (stored, quick, smooth, slowest) join into one stream.
    const std::vector<std::string> runs = {"-j 1", "-j 2", "-j 3", "-j 4", "-j 8",
                                           "-j 3 --png-level 0", "-j 3 --png-level 1", "-j 3 --png-level 9"};
    for (const std::string& run : runs) {
      ASSERT_EQ(Mcadec(folder, "-q -f " + run + " in.mca").status, 0);
      const Bytes png = ReadBytes(folder / "in.png");
      if (run == runs[0]) first = png;
      if (run.find("level") == std::string::npos) {
        EXPECT_TRUE(png == first) << expected.width << " wide, " << run;
      }
      EXPECT_TRUE(ReadPng(folder / "in.png", &isIndexed) == expected) << expected.width << " wide, " << run;
      EXPECT_EQ(InflatedBytes(png), size_t(expected.height) * (size_t(expected.width) * (isIndexed ? 1 : 3) + 1))
          << expected.width << " wide, " << run;
    }
  }
}

TEST(Mcadec, StandardInputToStandardOutput) {
  const NamedPicture picture = ProgramTestPictures()[1];
  ScratchFolder folder;
  WriteBytes(folder / "in.mca", picture.image);
  ASSERT_EQ(Mcadec(folder, "--format ppm - < in.mca > out.ppm").status, 0);
  EXPECT_TRUE(ReadPpm(folder / "out.ppm") == PluginPixels(picture.image));
}

TEST(Mcadec, BatchGoesOnPastBrokenFilesAndNamesEachReason) {
  ScratchFolder folder;
  std::string inputs;
  const std::vector<NamedPicture> good = ProgramTestPictures();
  const std::vector<BrokenPicture> broken = BrokenTestPictures();
  for (size_t i = 0; i < good.size(); ++i) {
    WriteBytes(folder / ("good" + std::to_string(i) + ".mca"), good[i].image);
    inputs += " good" + std::to_string(i) + ".mca";
  }
  for (size_t i = 0; i < broken.size(); ++i) {
    WriteBytes(folder / ("broken" + std::to_string(i) + ".mca"), broken[i].image);
    inputs += " broken" + std::to_string(i) + ".mca";
  }
  const Outcome run = Mcadec(folder, "-j 2 -o out" + inputs);
  EXPECT_EQ(run.status, 1);
  for (size_t i = 0; i < broken.size(); ++i) {
    EXPECT_NE(run.errors.find("broken" + std::to_string(i) + ".mca: "), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(broken[i].reason), std::string::npos) << broken[i].name << ": " << run.errors;
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < good.size(); ++i) {
    names.push_back("good" + std::to_string(i) + ".png");
    EXPECT_TRUE(ReadPng(folder / ("out/" + names.back())) == PluginPixels(good[i].image)) << good[i].name;
  }
  // Nothing else: no output for a broken file, no temporary file.
  EXPECT_EQ(ListFolder(folder / "out"), names);
}

// A batch of more files than there are slots for files being written at
// once (1024): each slot is freed as its file is done, so all convert.
TEST(Mcadec, ABatchLongerThanItsTemporaryFileSlots) {
  ScratchFolder folder;
  const Bytes image = SparseContainer(2, 2, 1);
  std::string inputs;
  for (int i = 0; i < 1100; ++i) {
    WriteBytes(folder / ("p" + std::to_string(i) + ".mca"), image);
    inputs += " p" + std::to_string(i) + ".mca";
  }
  const Outcome run = Mcadec(folder, "-q -j 2 -o out" + inputs);
  EXPECT_EQ(run.status, 0) << run.errors.substr(0, 500);
  EXPECT_EQ(ListFolder(folder / "out").size(), 1100u);
}

TEST(Mcadec, ExistingOutputIsKeptUnlessForced) {
  ScratchFolder folder;
  const Bytes image = ProgramTestPictures()[0].image;
  WriteBytes(folder / "in.mca", image);
  WriteBytes(folder / "in.png", Bytes{'k', 'e', 'e', 'p'});
  const Outcome kept = Mcadec(folder, "in.mca");
  EXPECT_EQ(kept.status, 1);
  EXPECT_NE(kept.errors.find("in.png exists"), std::string::npos) << kept.errors;
  EXPECT_EQ(ReadBytes(folder / "in.png"), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(Mcadec(folder, "--force in.mca").status, 0);
  EXPECT_TRUE(ReadPng(folder / "in.png") == PluginPixels(image));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.mca", "in.png"}));
}

TEST(Mcadec, FailedWriteLeavesNoFileBehind) {
  ScratchFolder folder;
  TestContainer c;
  c.frames = {RandomFrame(300, 300, 24, false, 30)};  // 270 KB of pixels that do not compress
  WriteBytes(folder / "in.mca", BuildContainer(c));
  for (const char* format : {"png", "bmp", "ppm"}) {
    // Files may not grow past 64 KiB: the write fails part of the way.
    const Outcome run = Mcadec(folder, std::string("--format ") + format + " in.mca", "ulimit -f 128 && ");
    EXPECT_EQ(run.status, 1) << format;
    EXPECT_NE(run.errors.find("in.mca: cannot write"), std::string::npos) << run.errors;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"in.mca"}) << format;
  }
}

// Refused before anything is written, with words after "mcadec: ": usage
// errors, an output that is an input (by any name, with or without -f), two
// inputs that would share an output, and an output --info would drop.
TEST(Mcadec, UsageErrorsAndClashesWriteNothing) {
  ScratchFolder folder;
  WriteBytes(folder / "a.mca", ProgramTestPictures()[0].image);
  ASSERT_EQ(std::system(("cd '" + folder.path() + "' && mkdir sub && cp a.mca sub/ && ln -s a.mca link.png && "
                         "ln a.mca hard.mca && ln -s sub alias && cp a.mca b.mca && cp a.mca b.png && "
                         "printf '\\211PNG' > real.png").c_str()),
            0);
  const std::vector<std::string> before = folder.Names();
  const struct {
    const char* arguments;
    const char* words;
  } refused[] = {
      {"", "no picture given"},
      {"--format gif a.mca", "--format"},
      {"-o - a.mca a.mca", "-o - takes one input"},
      {"- -", "standard input can be read once"},
      {"--png-level 12 a.mca", "--png-level"},
      {"--resize 0x5 a.mca", "--resize takes"},
      {"--resize 5x0 a.mca", "--resize takes"},
      {"--resize 40x40px a.mca", "--resize takes"},
      {"-j 0 a.mca", "--jobs"},
      {"-j 1025 a.mca", "--jobs"},
      {"-f -o a.mca a.mca", "the output a.mca is the input a.mca itself"},
      {"-f -o ./sub/../a.mca a.mca", "is the input a.mca itself"},
      {"-f -o link.png a.mca", "the output link.png is the input a.mca itself"},
      {"-f -o hard.mca a.mca", "the output hard.mca is the input a.mca itself"},
      {"-f b.mca b.png", "the output b.png is the input b.png itself"},
      {"-o out a.mca sub/a.mca", "a.mca and sub/a.mca would both be written to out/a.png"},
      {"-f sub/a.mca alias/a.mca", "sub/a.mca and alias/a.mca would both be written to alias/a.png"},
      {"--json -o x.png a.mca", "--json describes pictures and writes no picture file: --output"},
      {"--info --format bmp a.mca", "--info describes pictures and writes no picture file: --format"},
      {"--json --resize 9x9 a.mca", "--resize is not taken"},
      {"-o a.jpg a.mca", "cannot write a.jpg: the formats are .png, .bmp and .ppm"},
      {"-o y.jpg --format png a.mca", "the output y.jpg is not named for --format png"},
      {"-o y.bmp --format png a.mca", "the output y.bmp is not named for --format png"},
      {"-f real.png", "real.png: not an MCA picture"},
      {"-o a.png -o b.png a.mca", "--output is given more than once"},
      {"a.mca -o", "--output needs a value"},
  };
  for (const auto& r : refused) {
    const Outcome run = Mcadec(folder, r.arguments);
    EXPECT_EQ(run.status, 2) << r.arguments;
    EXPECT_EQ(run.errors.rfind("mcadec: ", 0), 0u) << r.arguments << ": " << run.errors;
    EXPECT_NE(run.errors.find(r.words), std::string::npos) << r.arguments << ": " << run.errors;
    EXPECT_EQ(folder.Names(), before) << r.arguments;
    EXPECT_EQ(ReadBytes(folder / "a.mca"), ProgramTestPictures()[0].image) << r.arguments;
  }
  // One file is the same file only on the same device: two files that share
  // an inode number on two file systems are two files.
  ASSERT_EQ(std::system(("cd '" + folder.path() + "' && cp a.mca inode-twin-a.mca && cp b.png inode-twin-b.png").c_str()),
            0);
  const Outcome twins = Mcadec(folder, "-f -o inode-twin-b.png inode-twin-a.mca", "LD_PRELOAD='" INODE_TWINS "' ");
  EXPECT_EQ(twins.status, 0) << twins.errors;
  // A name ending in a bare dot has no extension: PNG, as any name without one.
  const Outcome bare = Mcadec(folder, "-o odd. a.mca");
  EXPECT_EQ(bare.status, 0) << bare.errors;
  const Bytes written = ReadBytes(folder / "odd.");
  EXPECT_TRUE(written.size() > 8 && written[1] == 'P' && written[2] == 'N' && written[3] == 'G');
  // A folder that takes no files is named as such, not as a missing file.
  const Outcome proc = Mcadec(folder, "-o /proc/x.png a.mca");
  EXPECT_EQ(proc.status, 1);
  EXPECT_NE(proc.errors.find("cannot create /proc/x.png: the folder /proc takes no new files"), std::string::npos)
      << proc.errors;
}

TEST(Mcadec, InfoListsTheFramesWithoutDecoding) {
  ScratchFolder folder;
  TestContainer c;
  c.frames = {RandomFrame(5, 2, 24, false, 40), RandomFrame(7, 3, 24, true, 41)};
  WriteBytes(folder / "a.mca", BuildContainer(c));
  ASSERT_EQ(Mcadec(folder, "--info a.mca > info.txt").status, 0);
  const Bytes text = ReadBytes(folder / "info.txt");
  const std::string info(text.begin(), text.end());
  EXPECT_NE(info.find("a.mca: 7 x 5, 24-bit, 0 palette entries, 2 frames"), std::string::npos) << info;
  EXPECT_NE(info.find("frame 1: 5 x 2, stored, 32 bytes\n"), std::string::npos) << info;
  EXPECT_NE(info.find("frame 2: 7 x 3, compressed"), std::string::npos) << info;
  ASSERT_EQ(Mcadec(folder, "--json a.mca > info.json").status, 0);
  const Bytes json = ReadBytes(folder / "info.json");
  EXPECT_NE(std::string(json.begin(), json.end()).find("\"width\": 7, \"height\": 5, \"format\": \"24-bit\""),
            std::string::npos);
}

}  // namespace

namespace {

// AddressSanitizer reserves terabytes of address space: no cap on it then.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// Pictures over a limit fail with the limit named and no file; with the
// limits lifted, a huge picture streams through in memory of a few rows (the
// process may not map 400 MB; the picture is 768 MB of pixels), whole or
// fitted into a --resize box with the loader's area average.
TEST(Mcadec, LimitsResizeAndPicturesLargerThanMemory) {
  ScratchFolder folder;
  WriteBytes(folder / "huge.mca", SparseContainer(16000, 16000, 1));
  WriteBytes(folder / "small.mca", ProgramTestPictures()[0].image);
  const struct {
    const char* arguments;
    const char* reason;
  } refused[] = {{"huge.mca", "huge.mca: the picture's 256000000 pixels"},
                 {"--size-limit 100 small.mca", "over the size limit of 100 pixels"},
                 {"--dimension-limit 10 small.mca", "over the dimension limit of 10"}};
  for (const auto& r : refused) {
    const std::string arguments = std::string("--size-limit 200000000 ") + r.arguments;
    const Outcome run = Mcadec(folder, r.arguments == std::string("huge.mca") ? arguments : r.arguments);
    EXPECT_EQ(run.status, 1) << r.arguments;
    EXPECT_NE(run.errors.find(r.reason), std::string::npos) << run.errors;
  }
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"huge.mca", "small.mca"}));

  const Outcome whole = Mcadec(folder, "-q -o huge.png huge.mca", kAddressSanitizer ? "" : "ulimit -v 400000 && ");
  ASSERT_EQ(whole.status, 0) << whole.errors;
  const Bytes png = ReadBytes(folder / "huge.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(Bytes(png.begin() + 16, png.begin() + 24), (Bytes{0, 0, 0x3E, 0x80, 0, 0, 0x3E, 0x80}));  // 16000 x 16000

  const RgbImage full = PluginPixels(ProgramTestPictures()[0].image);
  ASSERT_EQ(Mcadec(folder, "-q --resize 20x20 -o fitted.ppm small.mca").status, 0);
  const RgbImage fitted = ReadPpm(folder / "fitted.ppm");
  EXPECT_EQ(fitted.width, 20);
  EXPECT_EQ(fitted.height, (20 * full.height + full.width / 2) / full.width);
  EXPECT_TRUE(WithinOne(fitted, AreaAverage(full, fitted.width, fitted.height)));
}

// Names and values as users type them: extensions in any case, a folder with
// a dot in its name holding an output without extension (PNG), --format
// with an output named for it, and the size's X in either case.
TEST(Mcadec, NamesAndValuesAsUsersTypeThem) {
  const Bytes image = ProgramTestPictures()[0].image;
  const RgbImage pixels = PluginPixels(image);
  const struct {
    const char* input;
    const char* arguments;
    const char* written;
    char kind;  // the first letter the format's file begins with: P(NG) as \211, B(MP), P(PM)
  } cases[] = {
      {"A.MCA", "A.MCA", "A.png", 'N'},
      {"a.mca", "-o OUT.PNG a.mca", "OUT.PNG", 'N'},
      {"a.mca", "-o out.Bmp a.mca", "out.Bmp", 'B'},
      {"a.mca", "--format ppm -o out.PPM a.mca", "out.PPM", 'P'},
      {"a.mca", "--format bmp -o noext a.mca", "noext", 'B'},
      {"a.mca", "-o v1.2/picture a.mca", "v1.2/picture", 'N'},
      {"a.mca", "--resize 40X40 -o small.png a.mca", "small.png", 'N'},
  };
  for (const auto& c : cases) {
    ScratchFolder folder;
    WriteBytes(folder / c.input, image);
    ASSERT_EQ(std::system(("mkdir '" + folder.path() + "/v1.2'").c_str()), 0);
    const Outcome run = Mcadec(folder, c.arguments);
    ASSERT_EQ(run.status, 0) << c.arguments << ": " << run.errors;
    const Bytes written = ReadBytes(folder / c.written);
    ASSERT_GT(written.size(), 2u) << c.arguments;
    EXPECT_EQ(written[c.kind == 'N' ? 1 : 0], uint8_t(c.kind == 'N' ? 'P' : c.kind)) << c.arguments;
    if (c.kind == 'N' && std::string(c.arguments).find("resize") == std::string::npos) {
      EXPECT_TRUE(ReadPng(folder / c.written) == pixels) << c.arguments;
    }
  }
}

// Every limit exactly met and one past, through the program: the size limit,
// the side limit on the width and on the height, and the most bytes of
// pixels any decoder holds (probed with --info, which decodes nothing); the
// words give the picture's size and the limit with its unit.
TEST(Mcadec, LimitsHoldExactlyAtTheirBoundaries) {
  const struct {
    int32_t width, height;
    const char* arguments;
    const char* refusal;  // null: accepted
  } cases[] = {
      {100, 50, "--size-limit 5000", nullptr},
      {101, 50, "--size-limit 5000", "the picture's 5050 pixels (101 x 50) are over the size limit of 5000 pixels"},
      {100, 50, "--dimension-limit 100", nullptr},
      {101, 50, "--dimension-limit 100", "side of 101 pixels (101 x 50) is over the dimension limit of 100 pixels"},
      {50, 101, "--dimension-limit 100", "side of 101 pixels (50 x 101) is over the dimension limit of 100 pixels"},
      {4, 178956970, "--info", nullptr},  // rows of 12 bytes: 2147483640 bytes
      {4, 178956971, "--info",
       "the picture of 4 x 178956971 pixels needs 2.00 GiB (2147483652 bytes) of pixels, over the 2.00 GiB "
       "(2147483643 bytes) that any decoder here holds"},
      {32768, 32768, "--info", "the picture of 32768 x 32768 pixels needs 3.00 GiB of pixels"},
  };
  for (const auto& c : cases) {
    ScratchFolder folder;
    WriteBytes(folder / "in.mca", SparseContainer(c.width, c.height, 1));
    const bool info = std::string(c.arguments) == "--info";
    const Outcome run = Mcadec(folder, std::string(c.arguments) + (info ? " in.mca > info.txt" : " -q -o out.ppm in.mca"));
    const std::string label = std::to_string(c.width) + " x " + std::to_string(c.height) + " " + c.arguments;
    EXPECT_EQ(run.status, c.refusal ? 1 : 0) << label << ": " << run.errors;
    if (c.refusal) {
      EXPECT_NE(run.errors.find(c.refusal), std::string::npos) << label << ": " << run.errors;
    }
    if (!info) {
      EXPECT_EQ(ReadPpm(folder / "out.ppm").width, c.refusal ? 0 : c.width) << label;
    }
  }
}

}  // namespace

namespace {

// Starts `argv` in a process group of its own, in `folder`.
pid_t Spawn(const ScratchFolder& folder, std::vector<std::string> argv) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const std::string command = "cd '" + folder.path() + "' && exec \"$0\" \"$@\" 2>> errors.txt";
  argv.insert(argv.begin(), {"/bin/sh", "-c", command});
  std::vector<char*> words;
  for (std::string& word : argv) words.push_back(word.data());
  words.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, "/bin/sh", nullptr, &attributes, words.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return pid;
}

// Waits (up to a minute, however busy the machine) until mcadec is writing
// into `folder`, after `finished` (if given) is there.
bool WritingStarted(const std::string& folder, const char* finished = nullptr) {
  for (int i = 0; i < 600; ++i) {
    const std::vector<std::string> names = ListFolder(folder);
    const bool after = !finished || std::find(names.begin(), names.end(), finished) != names.end();
    for (const std::string& name : names) {
      if (after && name.rfind(".mcadec-", 0) == 0) return true;
    }
    usleep(100000);
  }
  return false;
}

// An interrupted batch leaves no temporary file, says how far it came, and
// mcadec dies by the signal itself, so that a shell loop around it stops at
// the first Ctrl-C;
// --json is valid JSON for a name that is not UTF-8 and lists failed files.
TEST(Mcadec, InterruptsAndJsonForAnyName) {
  ScratchFolder folder;
  WriteBytes(folder / "a.mca", ProgramTestPictures()[0].image);
  for (const char* name : {"b.mca", "c.mca"}) WriteBytes(folder / name, SparseContainer(16000, 16000, 1));
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    ASSERT_EQ(std::system(("rm -rf '" + folder.path() + "/out' '" + folder.path() + "/errors.txt'").c_str()), 0);
    const pid_t pid = Spawn(folder, {MCADEC_PATH, "-q", "-j", "1", "--size-limit", "0", "-o", "out", "a.mca",
                                     "b.mca", "c.mca"});
    ASSERT_TRUE(WritingStarted(folder / "out", "a.png")) << signal;
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << ": wait status " << status;
    EXPECT_EQ(ListFolder(folder / "out"), std::vector<std::string>{"a.png"}) << signal;
    const Bytes errors = ReadBytes(folder / "errors.txt");
    EXPECT_EQ(std::string(errors.begin(), errors.end()), "mcadec: interrupted after converting 1 of 3 files\n")
        << signal;
  }
  // Ctrl-C reaches the loop's whole process group: the shell stops too.
  ASSERT_EQ(std::remove((folder / "out/a.png").c_str()), 0);
  std::remove((folder / "errors.txt").c_str());
  const pid_t loop = Spawn(folder, {"/bin/bash", "-c",
                                    "for f in b c; do '" MCADEC_PATH "' -q --size-limit 0 -o out/$f.png $f.mca; "
                                    "echo $f >> done.txt; done"});
  ASSERT_TRUE(WritingStarted(folder / "out"));
  kill(-loop, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(loop, &status, 0), loop);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "wait status " << status;
  EXPECT_EQ(ListFolder(folder / "out"), std::vector<std::string>{});
  EXPECT_EQ(ReadBytes(folder / "done.txt"), Bytes{});
  const Bytes single = ReadBytes(folder / "errors.txt");
  EXPECT_EQ(std::string(single.begin(), single.end()), "mcadec: interrupted: nothing was written\n");

  WriteBytes(folder / "caf\xe9.mca", ProgramTestPictures()[0].image);
  ASSERT_EQ(Mcadec(folder, "--json 'caf\xe9.mca' missing.mca > info.json || true").status, 0);
  const std::string check = "cd '" + folder.path() +
                            "' && python3 -c 'import json; d = json.load(open(\"info.json\")); "
                            "assert d[0][\"file\"] == \"caf\\u00e9.mca\" and \"width\" in d[0]; "
                            "assert d[1][\"file\"] == \"missing.mca\" and \"cannot open\" in d[1][\"error\"]'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

}  // namespace
