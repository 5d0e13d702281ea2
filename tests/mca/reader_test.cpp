// Reading through a reader against reading from memory. The probe: the same
// status, problem and info for every corpus input and for a picture cut at
// every byte; it reads only heads, never a payload. The scaled decode: the
// same rows, whole and scaled, for pictures of every kind. A failing read is
// reported, whichever it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "mca/mca.h"
#include "tests/support/collected_rows.h"
#include "tests/support/corpus.h"
#include "tests/support/mca_builder.h"

namespace {

// Serves reads from memory, recording each, and fails the read numbered
// `failAt` (counted from 0; -1: none).
struct RecordingReader {
  explicit RecordingReader(const Bytes* bytes, int fail = -1) : data(bytes), failAt(fail) {}
  const Bytes* data;
  int failAt;
  std::vector<std::pair<uint64_t, size_t>> reads;

  static int Read(void* context, uint64_t offset, uint8_t* into, size_t size) {
    auto* self = static_cast<RecordingReader*>(context);
    EXPECT_LE(offset + size, self->data->size()) << "a read past the data";
    if (int(self->reads.size()) == self->failAt) return 0;
    self->reads.emplace_back(offset, size);
    std::memcpy(into, self->data->data() + offset, size);
    return 1;
  }
  mca_reader Api() { return mca_reader{&RecordingReader::Read, this, data->size()}; }
};

void ExpectSameProbe(const Bytes& data, const std::string& what) {
  mca_info fromMemory{-7, -7, -7, -7, -7, 7}, fromReader{-7, -7, -7, -7, -7, 7};
  mca_problem memoryProblem{}, readerProblem{};
  const mca_status memoryStatus = mca_probe(data.data(), data.size(), &fromMemory, &memoryProblem);
  RecordingReader reader(&data);
  const mca_reader api = reader.Api();
  const mca_status readerStatus = mca_probe_reader(&api, &fromReader, &readerProblem);
  ASSERT_EQ(readerStatus, memoryStatus) << what;
  EXPECT_EQ(std::tie(fromReader.width, fromReader.height, fromReader.pixel_format, fromReader.palette_count,
                     fromReader.frame_count, fromReader.reach_bytes),
            std::tie(fromMemory.width, fromMemory.height, fromMemory.pixel_format, fromMemory.palette_count,
                     fromMemory.frame_count, fromMemory.reach_bytes)) << what;
  // The problem has no padding: every byte is a field.
  EXPECT_EQ(std::memcmp(&readerProblem, &memoryProblem, sizeof memoryProblem), 0) << what;
}

Bytes PalettedTwoFrames() {
  TestContainer c;
  c.pixelFormat = 8;
  c.palette.assign(16, 0x102030);
  c.frames = {RandomFrame(30, 7, 8, true, 1, 16), RandomFrame(21, 5, 8, false, 2, 16)};
  return BuildContainer(c);
}

TEST(ProbeReader, AgreesWithTheMemoryProbeOnTheCorpusAndOnEveryCut) {
  const std::vector<CorpusFile> corpus = CorpusFiles(ZUVREK_SOURCE_DIR "/fuzz/corpus/picture", false);
  EXPECT_GT(corpus.size(), 100u);
  for (const CorpusFile& f : corpus) ExpectSameProbe(f.bytes, f.name);
  const Bytes whole = PalettedTwoFrames();
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    ExpectSameProbe(Bytes(whole.begin(), whole.begin() + ptrdiff_t(cut)), "cut at " + std::to_string(cut));
  }
  Bytes notMca = whole;
  notMca[2] = 'B';
  ExpectSameProbe(notMca, "not MCA");
  ExpectSameProbe(TwoFrameHeads(), "two heads");
  ExpectSameProbe(SparseContainer(4, 3, 1000), "a table of 1000 entries, over several chunks");
}

// The probe's own answers where the memory probe could share a fault with
// it: frames past the first chunk of the table, and the first of two
// payloads outside the file.
TEST(ProbeReader, AnswersForLongTablesAndTheFirstPayloadOutside) {
  TestContainer c;
  int32_t widest = 0, height = 0;
  for (int32_t i = 0; i < 300; ++i) {
    c.frames.push_back(FrameHead(1 + i * 7 % 251, 1 + i % 5));
    widest = std::max(widest, 1 + i * 7 % 251);
    height += 1 + i % 5;
  }
  const Bytes many = BuildContainer(c);
  Bytes outside = PalettedTwoFrames();
  for (size_t frame = 0; frame < 2; ++frame) {
    uint32_t head;
    std::memcpy(&head, outside.data() + 48 + 4 * 16 + 4 * frame, 4);  // after the 16-entry palette
    PutLe32(outside, head + 20, 0x7FFFFFF0);  // the stored size
  }
  for (const Bytes* data : {&many, const_cast<const Bytes*>(&outside)}) {
    RecordingReader reader(data);
    const mca_reader api = reader.Api();
    mca_info info;
    mca_problem problem;
    const mca_status status = mca_probe_reader(&api, &info, &problem);
    if (data == &many) {
      EXPECT_EQ(status, MCA_OK);
      EXPECT_EQ(info.width, widest);
      EXPECT_EQ(info.height, height);
    } else {
      EXPECT_EQ(status, MCA_PAYLOAD_OUTSIDE);
      EXPECT_EQ(problem.frame, 0);
    }
  }
}

// The 48-byte head, two table entries and two 32-byte frame heads, in four
// reads; each of them failing in turn is reported.
TEST(ProbeReader, ReadsTheHeadsAloneAndReportsAFailingRead) {
  const Bytes data = PalettedTwoFrames();
  RecordingReader reader(&data);
  const mca_reader api = reader.Api();
  mca_info info;
  ASSERT_EQ(mca_probe_reader(&api, &info, nullptr), MCA_OK);
  EXPECT_EQ(info.height, 12);
  size_t bytes = 0;
  for (const auto& read : reader.reads) bytes += read.second;
  EXPECT_EQ(bytes, 48u + 2 * 4 + 2 * 32);
  ASSERT_EQ(reader.reads.size(), 4u);
  for (int failAt = 0; failAt < 4; ++failAt) {
    RecordingReader failing(&data, failAt);
    const mca_reader failingApi = failing.Api();
    mca_problem problem;
    EXPECT_EQ(mca_probe_reader(&failingApi, nullptr, &problem), MCA_READ_FAILED) << "read " << failAt;
    char words[64];
    mca_describe(&problem, words, sizeof words);
    EXPECT_STREQ(words, "the file could not be read");
  }
  EXPECT_EQ(mca_probe_reader(nullptr, nullptr, nullptr), MCA_BAD_ARGUMENT);
}

Bytes Container(int32_t pixelFormat, std::vector<TestFrame> frames) {
  TestContainer c;
  c.pixelFormat = pixelFormat;
  if (pixelFormat == 8) c.palette.assign(200, 0x0A0B0C);
  c.frames = std::move(frames);
  return BuildContainer(c);
}

TEST(DecodeScaledReader, GivesTheRowsOfTheMemoryDecodeWholeAndScaled) {
  const struct {
    const char* name;
    Bytes bytes;
  } pictures[] = {
      {"compressed 24-bit, references of every distance", Container(24, {EveryDistanceFrame(300, 120, 1)})},
      {"stored 24-bit under a compressed one",
       Container(24, {RandomFrame(90, 30, 24, true, 2), RandomFrame(97, 41, 24, false, 3)})},
      {"8-bit through the palette", Container(8, {RandomFrame(61, 33, 8, true, 4, 200)})},
      {"a compressed frame over 1 MiB, which threads would take", Container(24, {PictureFrame(700, 520, 24, true, 5)})},
  };
  for (const auto& p : pictures) {
    mca_info info;
    ASSERT_EQ(mca_probe(p.bytes.data(), p.bytes.size(), &info, nullptr), MCA_OK) << p.name;
    for (const auto& size : {std::pair<int32_t, int32_t>{info.width, info.height}, {info.width / 3, info.height / 2 + 1},
                             {1, 1}}) {
      SCOPED_TRACE(testing::Message() << p.name << " at " << size.first << " x " << size.second);
      CollectedRows fromMemory, fromReader;
      fromMemory.rowBytes = fromReader.rowBytes = 3 * size_t(size.first);
      const mca_row_sink memorySink = CollectRows(&fromMemory), readerSink = CollectRows(&fromReader);
      ASSERT_EQ(mca_decode_scaled(p.bytes.data(), p.bytes.size(), nullptr, size.first, size.second, &memorySink,
                                  nullptr),
                MCA_OK);
      RecordingReader reader(&p.bytes);
      const mca_reader api = reader.Api();
      ASSERT_EQ(mca_decode_scaled_reader(&api, nullptr, size.first, size.second, &readerSink, nullptr), MCA_OK);
      EXPECT_EQ(fromReader.count, size.second);
      EXPECT_TRUE(fromReader.inOrder);
      EXPECT_TRUE(fromReader.rgb == fromMemory.rgb);
      size_t largest = 0;
      for (const auto& read : reader.reads) largest = std::max(largest, read.second);
      EXPECT_LE(largest, 64u * 1024) << "the payload was read whole";
    }
  }
}

TEST(DecodeScaledReader, AFailingReadEndsTheDecode) {
  const Bytes data = Container(24, {RandomFrame(300, 40, 24, true, 6), RandomFrame(200, 50, 24, false, 7)});
  RecordingReader counting(&data);
  const mca_reader countingApi = counting.Api();
  CollectedRows all;
  all.rowBytes = 3 * 100;
  mca_row_sink sink = CollectRows(&all);
  ASSERT_EQ(mca_decode_scaled_reader(&countingApi, nullptr, 100, 30, &sink, nullptr), MCA_OK);
  const int reads = int(counting.reads.size());
  ASSERT_GT(reads, 8);
  for (int failAt = 0; failAt < reads; ++failAt) {
    RecordingReader reader(&data, failAt);
    const mca_reader api = reader.Api();
    CollectedRows rows;
    rows.rowBytes = 3 * 100;
    sink = CollectRows(&rows);
    mca_problem problem;
    EXPECT_EQ(mca_decode_scaled_reader(&api, nullptr, 100, 30, &sink, &problem), MCA_READ_FAILED) << "read " << failAt;
    EXPECT_TRUE(std::equal(rows.rgb.begin(), rows.rgb.end(), all.rgb.begin())) << "read " << failAt;
  }
  EXPECT_EQ(mca_decode_scaled_reader(nullptr, nullptr, 1, 1, &sink, nullptr), MCA_BAD_ARGUMENT);
}

}  // namespace
