// mcadec's system layer, the same cases on every system (natively over
// platform_posix.cpp, under Wine over platform_windows.cpp): files put in
// place in one step, never over another without being told to; one
// identity for every spelling of a file; temporary files; long paths. Runs
// in a scratch folder of its own (the test's command makes it).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "mcadec/interrupts.h"
#include "mcadec/platform.h"

namespace {

void Write(const std::string& path, const std::string& text) {
  std::string temporary;
  std::FILE* out = CreateTemporaryFile(".", &temporary);
  ASSERT_NE(out, nullptr);
  std::fputs(text.c_str(), out);
  ASSERT_EQ(std::fclose(out), 0);
  ASSERT_TRUE(PlaceFile(temporary, path, true));
  ReleaseTemporary(temporary.c_str());
}

std::string Read(const std::string& path) {
  std::FILE* in = OpenForReading(path);
  if (!in) return "(none)";
  char text[64] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, in);
  std::fclose(in);
  return std::string(text, n);
}

TEST(Platform, FilesGoInPlaceWholeAndNeverOverAnotherUnlessTold) {
  Write("platform-a.txt", "first");
  EXPECT_EQ(Read("platform-a.txt"), "first");
  EXPECT_EQ(FileSizeAt("platform-a.txt"), 5u);
  std::string temporary;
  for (const bool replace : {false, true}) {
    std::FILE* out = CreateTemporaryFile(".", &temporary);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(temporary.find(".mcadec-"), 2u) << temporary;
    std::fputs("second", out);
    std::fclose(out);
    errno = 0;
    EXPECT_EQ(PlaceFile(temporary, "platform-a.txt", replace), replace);
    if (!replace) {
      EXPECT_EQ(errno, EEXIST);
      EXPECT_EQ(Read("platform-a.txt"), "first");
      RemoveFile(temporary);
    }
    ReleaseTemporary(temporary.c_str());
    EXPECT_FALSE(PathExists(temporary));
  }
  EXPECT_EQ(Read("platform-a.txt"), "second");
  RemoveFile("platform-a.txt");
  EXPECT_FALSE(PathExists("platform-a.txt"));
}

TEST(Platform, EverySpellingOfAFileIsOneFile) {
  ASSERT_TRUE(MakeFolder("platform-folder"));
  EXPECT_TRUE(IsFolder("platform-folder"));
  EXPECT_FALSE(MakeFolder("platform-folder"));
  Write("platform-folder/b.txt", "b");
  FileId plain, spelled, other;
  ASSERT_TRUE(IdentifyFile("platform-folder/b.txt", &plain));
  ASSERT_TRUE(IdentifyFile("platform-folder/../platform-folder/./b.txt", &spelled));
  ASSERT_TRUE(IdentifyFile("platform-folder", &other));
  EXPECT_FALSE(plain < spelled || spelled < plain);
  EXPECT_TRUE(plain < other || other < plain);
  std::string one, two;
  ASSERT_TRUE(ResolveFolder("platform-folder", &one));
  ASSERT_TRUE(ResolveFolder("./platform-folder/../platform-folder", &two));
  EXPECT_EQ(one, two);
  EXPECT_FALSE(ResolveFolder("platform-no-such-folder", &one));
  EXPECT_FALSE(IdentifyFile("platform-folder/none.txt", &plain));
}

// Past 260 characters, where Windows' plain paths end.
TEST(Platform, PathsPastTwoHundredAndSixtyCharacters) {
  std::string folder = "platform-deep";
  ASSERT_TRUE(MakeFolder(folder));
  while (folder.size() < 300) {
    folder += "/a-folder-of-a-long-path";
    ASSERT_TRUE(MakeFolder(folder)) << folder.size();
  }
  const std::string file = folder + "/c.txt";
  Write(file, "deep");
  EXPECT_EQ(Read(file), "deep");
  EXPECT_EQ(FileSizeAt(file), 4u);
  RemoveFile(file);
  EXPECT_FALSE(PathExists(file));
}

}  // namespace
