// Test-side MCA writer: builds containers from pictures, scrambling payloads
// and compressing them with a small greedy LZSS encoder of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct TestFrame {
  int32_t width = 0;
  int32_t height = 0;
  bool compressed = false;
  bool farReferences = false;  // compressed with CompressLzss's far mode
  Bytes pixels;  // height rows of padded source rows, top row first
};

struct TestContainer {
  int32_t pixelFormat = 24;
  std::vector<uint32_t> palette;  // entries as they lie: blue | green << 8 | red << 16
  std::vector<TestFrame> frames;
  bool reverseFrameRecords = false;  // lay records out in the opposite order to the table
};

// Writes a little-endian 32-bit field, for tests that patch containers.
void PutLe32(Bytes& out, size_t at, uint32_t value);

// Source row bytes of a frame, as the container pads them.
int32_t SourceRowBytes(int32_t width, int32_t pixelFormat);

// The inverse of descrambling: what a payload must hold to descramble to `plain`.
Bytes ScramblePayload(const Bytes& plain);

// Greedy LZSS over the zero-filled initial ring, with self-overlapping matches.
// Of equally long matches it takes the nearest, or with `far` the farthest
// (up to exactly 4096 bytes back), so that streams reach every distance.
Bytes CompressLzss(const Bytes& plain, bool far = false);

Bytes BuildContainer(const TestContainer& container);

// A 24-bit picture far larger than its file: one frame whose table lists it
// `repeats` times, so the picture is `repeats` copies of the frame stacked.
Bytes RepeatedFrameContainer(const TestFrame& frame, int32_t repeats);

// A tiny file for a huge picture: one stored width x height frame whose
// payload is a single byte (the rest of the frame reads as black), listed
// `repeats` times.
Bytes SparseContainer(int32_t width, int32_t height, int32_t repeats);

// A black picture that its payload really fills, in a file about 17/144 of
// its pixels: one LZSS frame of width x height whose stream is whole groups
// of 18-byte references to the zeroed ring.
Bytes ZeroReferenceContainer(int32_t width, int32_t height);

// One stored 24-bit frame of one colour (0xRRGGBB).
Bytes SolidContainer(int32_t width, int32_t height, uint32_t rgb);

// The frame of such pictures: stored random pixels, 16000 x 100 (4.8 MB).
TestFrame LargePictureFrame();

// A frame head without pixels, for tests of the geometry alone.
TestFrame FrameHead(int32_t width, int32_t height);

// The two-frame picture of 640 x 200 and 320 x 280 heads: 640 x 480.
Bytes TwoFrameHeads();

// Deterministic pseudo-random words (xorshift32; the state must not be 0).
struct Random {
  uint32_t state;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

// Deterministic pseudo-random bytes.
Bytes RandomBytes(size_t count, uint32_t seed);

// A frame with random pixels (indexes below `colors` for 8-bit frames).
TestFrame RandomFrame(int32_t width, int32_t height, int32_t pixelFormat, bool compressed,
                      uint32_t seed, uint32_t colors = 256);

// A compressed 24-bit frame whose stream reaches back every distance from 1
// to 4096 again and again: noise, then runs copied from each distance in turn.
TestFrame EveryDistanceFrame(int32_t width, int32_t height, uint32_t seed);

// A compressed 24-bit frame of 4096 random bytes repeated: nearly every token
// reaches exactly 4096 bytes back.
TestFrame PeriodicFrame(int32_t width, int32_t height, uint32_t seed);

// Pixels with long runs, gradients and noise, so that compression finds both
// literals and long matches.
TestFrame PictureFrame(int32_t width, int32_t height, int32_t pixelFormat, bool compressed,
                       uint32_t seed);
