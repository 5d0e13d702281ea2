// mcadec end to end: the real program on generated pictures, its files read
// back against the plug-in's own pixels.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tests/programs/rgb_pictures.h"

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

TEST(Mcadec, UsageErrorsExitWithTwo) {
  ScratchFolder folder;
  WriteBytes(folder / "a.mca", ProgramTestPictures()[0].image);
  for (const char* arguments :
       {"", "--format gif a.mca", "-o - a.mca a.mca", "- -", "--png-level 12 a.mca", "--resize 0x5 a.mca"}) {
    EXPECT_EQ(Mcadec(folder, arguments).status, 2) << arguments;
  }
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.mca"});
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

}  // namespace

namespace {

// An interrupted batch leaves no temporary file and exits 128 + the signal;
// --json is valid JSON for a name that is not UTF-8 and lists failed files.
TEST(Mcadec, InterruptsAndJsonForAnyName) {
  ScratchFolder folder;
  for (const char* name : {"a.mca", "b.mca", "c.mca"}) WriteBytes(folder / name, SparseContainer(16000, 16000, 1));
  for (const char* signal : {"INT", "TERM", "HUP"}) {
    const std::string command = "cd '" + folder.path() + "' && { '" MCADEC_PATH
                                "' -q -j 1 --size-limit 0 -o out a.mca b.mca c.mca & pid=$!; sleep 0.5; kill -" +
                                signal + " $pid; wait $pid; echo $? > status.txt; }";
    std::system(command.c_str());
    const Bytes status = ReadBytes(folder / "status.txt");
    const int expected = std::string(signal) == "INT" ? 130 : std::string(signal) == "TERM" ? 143 : 129;
    EXPECT_EQ(std::atoi(std::string(status.begin(), status.end()).c_str()), expected) << signal;
    for (const std::string& name : ListFolder(folder / "out")) EXPECT_EQ(name.rfind(".mcadec-", 0), std::string::npos);
  }

  WriteBytes(folder / "caf\xe9.mca", ProgramTestPictures()[0].image);
  ASSERT_EQ(Mcadec(folder, "--json 'caf\xe9.mca' missing.mca > info.json || true").status, 0);
  const std::string check = "cd '" + folder.path() +
                            "' && python3 -c 'import json; d = json.load(open(\"info.json\")); "
                            "assert d[0][\"file\"] == \"caf\\u00e9.mca\" and \"width\" in d[0]; "
                            "assert d[1][\"file\"] == \"missing.mca\" and \"cannot open\" in d[1][\"error\"]'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

}  // namespace
