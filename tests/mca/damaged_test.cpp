// Pictures their payloads cannot fill: refused whole, from the heads alone,
// at a quarter of the picture and one byte under it, at the size floor and
// one row past it; smaller and streamed decodes go on, and an option lifts
// the rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "mca/mca.h"
#include "tests/support/mca_builder.h"

namespace {

// 4096 x 1368 at 24 bits is 16.03 MiB, just over the floor; a quarter of it
// is 4202496 bytes, 29184 whole LZSS groups of 144.
constexpr int32_t kWidth = 4096, kHeight = 1368;
constexpr size_t kQuarter = 3 * size_t(kWidth) * kHeight / 4;

// One frame whose payload is `stored` bytes; a compressed one gets E
// `expanded` (by default the frame's own bytes).
Bytes OneFrame(int32_t format, int32_t width, int32_t height, size_t stored, bool compressed = false,
               int64_t expanded = INT64_MIN) {
  TestContainer c;
  c.pixelFormat = format;
  TestFrame frame;
  frame.width = width;
  frame.height = height;
  frame.pixels.assign(stored, 0);
  c.frames = {frame};
  Bytes image = BuildContainer(c);
  const size_t head = 48 + 4;
  if (compressed) {
    PutLe32(image, head, 1);
    PutLe32(image, head + 24, uint32_t(expanded != INT64_MIN ? expanded : 3 * int64_t(width) * height));
  }
  return image;
}

// Frame `pixels` bytes of kWidth x `height`, its table listing it `listed` times.
Bytes Listed(int32_t height, size_t pixels, int32_t listed) {
  TestFrame frame;
  frame.width = kWidth;
  frame.height = height;
  frame.pixels.assign(pixels, 0);
  return RepeatedFrameContainer(frame, listed);
}

// The first frame's payload lies outside the file: the decode stops there,
// so the second's full payload gives nothing.
Bytes FirstPayloadOutside() {
  TestContainer c;
  TestFrame cut, full;
  cut.width = full.width = kWidth;
  cut.height = kHeight - 342;
  cut.pixels = {1};
  full.height = 342;
  full.pixels.assign(kQuarter, 0);
  c.frames = {cut, full};
  Bytes image = BuildContainer(c);
  PutLe32(image, 48 + 8 + 20, 0x7FFFFFFF);
  return image;
}

mca_status CheckWhole(const Bytes& image) {
  mca_info info;
  mca_problem problem;
  const mca_status probed = mca_probe(image.data(), image.size(), &info, &problem);
  EXPECT_TRUE(probed == MCA_OK || probed == MCA_PAYLOAD_OUTSIDE) << probed;
  return mca_check_picture(&info, info.width, info.height, nullptr, &problem);
}

TEST(DamagedPictures, RefusedWholeWhenThePayloadsCannotFillAQuarter) {
  const struct {
    const char* what;
    Bytes image;
    mca_status expected;
  } cases[] = {
      {"stored, exactly a quarter", OneFrame(24, kWidth, kHeight, kQuarter), MCA_OK},
      {"stored, a byte under", OneFrame(24, kWidth, kHeight, kQuarter - 1), MCA_SHORT_PAYLOADS},
      {"8-bit indexes give three bytes each", OneFrame(8, kWidth, kHeight, kQuarter / 3), MCA_OK},
      {"8-bit, an index under", OneFrame(8, kWidth, kHeight, kQuarter / 3 - 1), MCA_SHORT_PAYLOADS},
      {"LZSS, whole groups of references", OneFrame(24, kWidth, kHeight, kQuarter / 144 * 17, true), MCA_OK},
      {"LZSS, a byte under", OneFrame(24, kWidth, kHeight, kQuarter / 144 * 17 - 1, true), MCA_SHORT_PAYLOADS},
      // 1039 x 5383 needs a quarter of 4194703 bytes: 29129 groups, then
      // seven references and a literal behind a flag byte.
      {"LZSS, a literal after the last references", OneFrame(24, 1039, 5383, 29130 * 17 - 1, true), MCA_OK},
      {"LZSS, without that literal", OneFrame(24, 1039, 5383, 29130 * 17 - 2, true), MCA_SHORT_PAYLOADS},
      {"LZSS, E and a token past it", OneFrame(24, kWidth, kHeight, kQuarter / 144 * 17, true, kQuarter - 17),
       MCA_OK},
      {"LZSS, E a byte lower", OneFrame(24, kWidth, kHeight, kQuarter / 144 * 17, true, kQuarter - 18),
       MCA_SHORT_PAYLOADS},
      {"LZSS, a negative E gives nothing", OneFrame(24, kWidth, kHeight, kQuarter, true, INT32_MIN),
       MCA_SHORT_PAYLOADS},
      {"a frame's payload counted each time the table lists it", Listed(kHeight / 8, kQuarter / 2, 8), MCA_OK},
      {"the frame's own rows bound its payload", OneFrame(24, kWidth, kHeight / 8, kQuarter * 4), MCA_OK},
      {"a payload past the frame's rows fills nothing more",
       [] {
         TestContainer c;
         TestFrame big, empty;
         big.width = empty.width = kWidth;
         big.height = kHeight / 8;
         big.pixels.assign(kQuarter * 4, 0);
         empty.height = kHeight - kHeight / 8;
         c.frames = {big, empty};
         return BuildContainer(c);
       }(),
       MCA_SHORT_PAYLOADS},
      {"frames after a payload outside the file count nothing", FirstPayloadOutside(), MCA_SHORT_PAYLOADS},
      {"at the floor, one byte of payload", OneFrame(24, 1365, 4097, 1), MCA_OK},
      {"a row past the floor", OneFrame(24, 1365, 4098, 1), MCA_SHORT_PAYLOADS},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckWhole(c.image), c.expected) << c.what;
}

TEST(DamagedPictures, WholeDecodesRefuseThemUnlessAskedSmallerStreamedOrAnyway) {
  const Bytes image = OneFrame(24, 1365, 4098, 1);
  mca_info info;
  ASSERT_EQ(mca_probe(image.data(), image.size(), &info, nullptr), MCA_OK);
  const size_t bytes = 3 * size_t(info.width) * size_t(info.height);
  std::string buffer(bytes, '\x55');
  uint8_t* out = reinterpret_cast<uint8_t*>(&buffer[0]);
  mca_problem problem;
  EXPECT_EQ(mca_decode(image.data(), image.size(), nullptr, out, 3 * 1365, bytes, &problem), MCA_SHORT_PAYLOADS);
  EXPECT_EQ(buffer, std::string(bytes, '\x55'));  // refused before a byte is written
  EXPECT_EQ(mca_decode_sized(image.data(), image.size(), nullptr, 1365, 4098, out, 3 * 1365, bytes, &problem),
            MCA_SHORT_PAYLOADS);
  EXPECT_EQ(mca_check_picture(&info, 1365, 4097, nullptr, &problem), MCA_OK) << "a row smaller";
  EXPECT_EQ(mca_check_picture(&info, 1364, 4098, nullptr, &problem), MCA_OK) << "a column smaller";
  EXPECT_EQ(mca_check_picture(&info, 1366, 4098, nullptr, &problem), MCA_SHORT_PAYLOADS) << "scaled up after";
  EXPECT_EQ(mca_decode_sized(image.data(), image.size(), nullptr, 1365, 4097, out, 3 * 1365, bytes, &problem),
            MCA_OK);
  const mca_row_sink sink = {nullptr, [](void*, int32_t, const uint8_t*) { return 0; }, nullptr};
  EXPECT_EQ(mca_decode_rows(image.data(), image.size(), nullptr, &sink, &problem), MCA_OK);
  mca_options options;
  mca_default_options(&options);
  options.decode_damaged = 1;
  EXPECT_EQ(mca_check_picture(&info, info.width, info.height, &options, &problem), MCA_OK);
  EXPECT_EQ(mca_decode(image.data(), image.size(), &options, out, 3 * 1365, bytes, &problem), MCA_OK);
  EXPECT_EQ(buffer.find_first_not_of('\0', 1), std::string::npos);  // black but the one byte
}

TEST(DamagedPictures, TheWordsNameWhatThePayloadsHoldAndThePicture) {
  const Bytes bomb = SparseContainer(16384, 16384, 1);
  mca_info info;
  mca_problem problem;
  ASSERT_EQ(mca_probe(bomb.data(), bomb.size(), &info, &problem), MCA_OK);
  ASSERT_EQ(mca_check_picture(&info, info.width, info.height, nullptr, &problem), MCA_SHORT_PAYLOADS);
  char words[200];
  mca_describe(&problem, words, sizeof words);
  EXPECT_STREQ(words, "the file holds pixels for at most 1 byte of a 768.00 MiB picture (16384 x 16384): it is "
                      "damaged or cut short");
}

}  // namespace
