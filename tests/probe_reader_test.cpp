// The probe through a reader against the probe over memory: the same status,
// problem and info for every corpus input and for a picture cut at every
// byte; it reads only heads, never a payload; a failing read is reported.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "mca/mca.h"
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
  mca_info fromMemory{-7, -7, -7, -7, -7}, fromReader{-7, -7, -7, -7, -7};
  mca_problem memoryProblem{}, readerProblem{};
  const mca_status memoryStatus = mca_probe(data.data(), data.size(), &fromMemory, &memoryProblem);
  RecordingReader reader(&data);
  const mca_reader api = reader.Api();
  const mca_status readerStatus = mca_probe_reader(&api, &fromReader, &readerProblem);
  ASSERT_EQ(readerStatus, memoryStatus) << what;
  EXPECT_EQ(std::memcmp(&fromReader, &fromMemory, sizeof fromMemory), 0) << what;
  EXPECT_EQ(readerProblem.frame, memoryProblem.frame) << what;
  EXPECT_EQ(readerProblem.value, memoryProblem.value) << what;
  EXPECT_EQ(readerProblem.limit, memoryProblem.limit) << what;
  EXPECT_EQ(readerProblem.width, memoryProblem.width) << what;
  EXPECT_EQ(readerProblem.height, memoryProblem.height) << what;
}

Bytes ReadFile(const std::string& path) {
  Bytes out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(uint8_t(c));
    std::fclose(f);
  }
  return out;
}

Bytes PalettedTwoFrames() {
  TestContainer c;
  c.pixelFormat = 8;
  c.palette.assign(16, 0x102030);
  c.frames = {RandomFrame(30, 7, 8, true, 1, 16), RandomFrame(21, 5, 8, false, 2, 16)};
  return BuildContainer(c);
}

TEST(ProbeReader, AgreesWithTheMemoryProbeOnTheCorpusAndOnEveryCut) {
  const std::string corpus = ZUVREK_SOURCE_DIR "/fuzz/corpus/picture/";
  int inputs = 0;
  if (DIR* dir = opendir(corpus.c_str())) {
    while (const dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      ExpectSameProbe(ReadFile(corpus + e->d_name), e->d_name);
      ++inputs;
    }
    closedir(dir);
  }
  EXPECT_GT(inputs, 100);
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

TEST(ProbeReader, ReadsTheHeadsAndNeverAPayload) {
  const Bytes data = PalettedTwoFrames();
  RecordingReader reader(&data);
  const mca_reader api = reader.Api();
  mca_info info;
  ASSERT_EQ(mca_probe_reader(&api, &info, nullptr), MCA_OK);
  EXPECT_EQ(info.width, 30);
  EXPECT_EQ(info.height, 12);
  size_t bytes = 0;
  for (const auto& read : reader.reads) bytes += read.second;
  // The 48-byte head, two table entries and two 32-byte frame heads.
  EXPECT_EQ(bytes, 48u + 2 * 4 + 2 * 32);
  EXPECT_EQ(reader.reads.size(), 4u);
}

TEST(ProbeReader, AFailingReadIsReportedWhicheverItIs) {
  const Bytes data = PalettedTwoFrames();
  for (int failAt = 0; failAt < 4; ++failAt) {
    RecordingReader reader(&data, failAt);
    const mca_reader api = reader.Api();
    mca_problem problem;
    EXPECT_EQ(mca_probe_reader(&api, nullptr, &problem), MCA_READ_FAILED) << "read " << failAt;
    char words[64];
    mca_describe(&problem, words, sizeof words);
    EXPECT_STREQ(words, "the file could not be read");
  }
  EXPECT_EQ(mca_probe_reader(nullptr, nullptr, nullptr), MCA_BAD_ARGUMENT);
}

}  // namespace
