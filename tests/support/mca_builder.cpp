#include "tests/support/mca_builder.h"

#include <algorithm>

namespace {

constexpr size_t kRing = 4096;
constexpr size_t kMaxMatch = 18;
constexpr int kChainDepth = 48;

uint32_t Hash3(const Bytes& b, size_t i) {
  return ((uint32_t(b[i]) << 16 | uint32_t(b[i + 1]) << 8 | b[i + 2]) * 2654435761u) >> 17;
}


}  // namespace

void PutLe32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(value >> (8 * i));
}

int32_t SourceRowBytes(int32_t width, int32_t pixelFormat) {
  if (width <= 0) return 0;
  return pixelFormat == 8 ? (width + 3) / 4 * 4 : (3 * width + 3) / 4 * 4;
}

Bytes ScramblePayload(const Bytes& plain) {
  Bytes out(plain.size());
  uint8_t mask = 0x3B;
  const uint32_t length = uint32_t(plain.size());
  for (size_t i = 0; i < plain.size(); ++i) {
    const uint8_t rotated = plain[i] ^ mask;
    out[i] = uint8_t((rotated >> 1) | (rotated << 7));
    mask = uint8_t(mask + uint8_t(length - uint32_t(i)));
  }
  return out;
}

Bytes CompressLzss(const Bytes& plain, bool far) {
  // The history starts with the ring's 4096 zero bytes, which matches may use.
  Bytes buf(kRing, 0);
  buf.insert(buf.end(), plain.begin(), plain.end());
  std::vector<int32_t> head(1 << 15, -1);
  std::vector<int32_t> prev(buf.size(), -1);
  auto insert = [&](size_t i) {
    if (i + 2 >= buf.size()) return;
    const uint32_t h = Hash3(buf, i);
    prev[i] = head[h];
    head[h] = int32_t(i);
  };
  for (size_t i = 0; i < kRing; ++i) insert(i);

  Bytes out;
  size_t flagAt = 0;
  int tokens = 8;
  size_t j = kRing;
  while (j < buf.size()) {
    if (tokens == 8) {
      flagAt = out.size();
      out.push_back(0);
      tokens = 0;
    }
    size_t bestLength = 0;
    size_t bestFrom = 0;
    const size_t room = std::min(kMaxMatch, buf.size() - j);
    if (room >= 3) {
      int depth = 0;
      for (int32_t c = head[Hash3(buf, j)]; c >= 0 && j - size_t(c) <= kRing && depth < kChainDepth;
           c = prev[c], ++depth) {
        size_t n = 0;
        while (n < room && buf[size_t(c) + n] == buf[j + n]) ++n;
        if (n > bestLength || (far && n == bestLength && n >= 3)) {
          bestLength = n;
          bestFrom = size_t(c);
          if (n == room && !far) break;
        }
      }
    }
    if (bestLength >= 3) {
      const size_t position = (bestFrom + 4078) % kRing;
      out.push_back(uint8_t(position));
      out.push_back(uint8_t((position >> 8) | (bestLength - 3) << 4));
      for (size_t k = 0; k < bestLength; ++k) insert(j + k);
      j += bestLength;
    } else {
      out[flagAt] |= uint8_t(1 << tokens);
      out.push_back(buf[j]);
      insert(j);
      ++j;
    }
    ++tokens;
  }
  return out;
}

Bytes BuildContainer(const TestContainer& c) {
  const size_t frameCount = c.frames.size();
  const size_t tableAt = 48 + 4 * c.palette.size();
  Bytes out(tableAt + 4 * frameCount, 0);
  out[0] = 'M';
  out[1] = 'C';
  out[2] = 'A';
  PutLe32(out, 20, uint32_t(c.pixelFormat));
  PutLe32(out, 24, uint32_t(c.palette.size()));
  PutLe32(out, 32, uint32_t(frameCount));
  for (size_t i = 0; i < c.palette.size(); ++i) PutLe32(out, 48 + 4 * i, c.palette[i]);
  for (size_t k = 0; k < frameCount; ++k) {
    const size_t i = c.reverseFrameRecords ? frameCount - 1 - k : k;
    const TestFrame& f = c.frames[i];
    const Bytes payload = ScramblePayload(f.compressed ? CompressLzss(f.pixels, f.farReferences) : f.pixels);
    const size_t at = out.size();
    PutLe32(out, tableAt + 4 * i, uint32_t(at));
    out.resize(at + 32, 0);
    PutLe32(out, at, f.compressed ? 1 : 0);
    PutLe32(out, at + 12, uint32_t(f.width));
    PutLe32(out, at + 16, uint32_t(f.height));
    PutLe32(out, at + 20, uint32_t(payload.size()));
    PutLe32(out, at + 24, uint32_t(f.pixels.size()));
    out.insert(out.end(), payload.begin(), payload.end());
  }
  return out;
}

Bytes RepeatedFrameContainer(const TestFrame& frame, int32_t repeats) {
  TestContainer single;
  single.frames = {frame};
  const Bytes one = BuildContainer(single);
  const size_t recordAt = 48 + 4;  // after the head and the one-entry table
  const size_t tableBytes = 4 * size_t(repeats);
  Bytes out(one.begin(), one.begin() + 48);
  PutLe32(out, 32, uint32_t(repeats));
  out.resize(48 + tableBytes);
  for (int32_t i = 0; i < repeats; ++i) PutLe32(out, 48 + 4 * size_t(i), uint32_t(48 + tableBytes));
  out.insert(out.end(), one.begin() + recordAt, one.end());
  return out;
}

Bytes SparseContainer(int32_t width, int32_t height, int32_t repeats) {
  TestFrame frame;
  frame.width = width;
  frame.height = height;
  frame.pixels = {0x80};
  return RepeatedFrameContainer(frame, repeats);
}

Bytes ZeroReferenceContainer(int32_t width, int32_t height) {
  TestContainer c;
  TestFrame frame;
  frame.width = width;
  frame.height = height;
  const size_t pixels = size_t(SourceRowBytes(width, 24)) * size_t(height);
  // A flag byte of eight references, each to ring position 0 for 18 bytes.
  const uint8_t group[17] = {0x00, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0,
                             0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0, 0x00, 0xF0};
  for (size_t made = 0; made < pixels; made += 144) frame.pixels.insert(frame.pixels.end(), group, group + 17);
  c.frames = {frame};
  // Built stored, then marked compressed with the frame's bytes as E.
  Bytes image = BuildContainer(c);
  PutLe32(image, 48 + 4, 1);
  PutLe32(image, 48 + 4 + 24, uint32_t(pixels));
  return image;
}

Bytes SolidContainer(int32_t width, int32_t height, uint32_t rgb) {
  TestFrame frame;
  frame.width = width;
  frame.height = height;
  const size_t rowBytes = size_t(SourceRowBytes(width, 24));
  frame.pixels.assign(rowBytes * size_t(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &frame.pixels[size_t(y) * rowBytes + 3 * size_t(x)];  // blue, green, red
      p[0] = uint8_t(rgb);
      p[1] = uint8_t(rgb >> 8);
      p[2] = uint8_t(rgb >> 16);
    }
  }
  TestContainer c;
  c.frames = {frame};
  return BuildContainer(c);
}

TestFrame LargePictureFrame() { return RandomFrame(16000, 100, 24, false, 16000); }

TestFrame FrameHead(int32_t width, int32_t height) {
  TestFrame f;
  f.width = width;
  f.height = height;
  return f;
}

Bytes TwoFrameHeads() {
  TestContainer c;
  c.frames = {FrameHead(640, 200), FrameHead(320, 280)};
  return BuildContainer(c);
}

Bytes RandomBytes(size_t count, uint32_t seed) {
  Random random{seed * 2654435761u + 1};
  Bytes out(count);
  for (auto& b : out) b = uint8_t(random.Next() >> 24);
  return out;
}

TestFrame RandomFrame(int32_t width, int32_t height, int32_t pixelFormat, bool compressed,
                      uint32_t seed, uint32_t colors) {
  TestFrame f;
  f.width = width;
  f.height = height;
  f.compressed = compressed;
  f.pixels = RandomBytes(size_t(SourceRowBytes(width, pixelFormat)) * size_t(std::max(height, 0)), seed);
  if (pixelFormat == 8) {
    for (auto& b : f.pixels) b = uint8_t(b % colors);
  }
  return f;
}

TestFrame PictureFrame(int32_t width, int32_t height, int32_t pixelFormat, bool compressed,
                       uint32_t seed) {
  TestFrame f;
  f.width = width;
  f.height = height;
  f.compressed = compressed;
  const size_t rowBytes = size_t(SourceRowBytes(width, pixelFormat));
  const size_t bytesPerPixel = pixelFormat == 8 ? 1 : 3;
  f.pixels.assign(rowBytes * size_t(std::max(height, 0)), 0);
  Random random{seed * 2654435761u + 7};
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = &f.pixels[size_t(y) * rowBytes];
    for (int32_t x = 0; x < width; ++x) {
      const int32_t band = (x * 4 / width + y * 3 / std::max(height, 1)) % 4;
      for (size_t k = 0; k < bytesPerPixel; ++k) {
        uint8_t v;
        switch (band) {
          case 0: v = uint8_t(x / 4 + y / 3 + 40 * int(k)); break;     // gradient
          case 1: v = uint8_t(0x30 + 0x40 * k); break;                  // flat area
          case 2: v = uint8_t(random.Next() >> 24); break;              // noise
          default: v = uint8_t(((x / 16 + y / 16) & 1) ? 0xE0 : 0x20);  // checks
        }
        row[size_t(x) * bytesPerPixel + k] = v;
      }
    }
  }
  return f;
}

TestFrame EveryDistanceFrame(int32_t width, int32_t height, uint32_t seed) {
  TestFrame f;
  f.width = width;
  f.height = height;
  f.compressed = true;
  f.farReferences = true;
  const size_t size = size_t(SourceRowBytes(width, 24)) * size_t(height);
  Bytes p = RandomBytes(std::min<size_t>(size, 4096), seed);
  const Bytes noise = RandomBytes(size + 3, seed + 1);
  for (size_t d = 1; p.size() < size; d = d % 4096 + 1) {
    for (size_t k = 0; k < 18 && p.size() < size; ++k) p.push_back(p[p.size() - d]);
    // Three fresh bytes between runs, so that no run continues the last.
    for (size_t k = 0; k < 3 && p.size() < size; ++k) p.push_back(noise[p.size()]);
  }
  f.pixels = p;
  return f;
}

TestFrame PeriodicFrame(int32_t width, int32_t height, uint32_t seed) {
  TestFrame f;
  f.width = width;
  f.height = height;
  f.compressed = true;
  const Bytes period = RandomBytes(4096, seed);
  f.pixels.resize(size_t(SourceRowBytes(width, 24)) * size_t(height));
  for (size_t i = 0; i < f.pixels.size(); ++i) f.pixels[i] = period[i % 4096];
  return f;
}
