#include "bench/bench_pictures.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "windows/platform.h"
#include "tests/support/plain_decoder.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

BenchPicture Make(const std::string& name, const TestContainer& c) {
  const Bytes image = BuildContainer(c);
  PlainPicture geometry;
  PlainGeometry(image.data(), image.size(), &geometry);
  return {name, image, geometry.stride * size_t(geometry.height)};
}

// Two buffers already touched, for the memcpy bound.
struct TouchedBuffers {
  std::vector<uint8_t> from, to;
};

TouchedBuffers& Touched(size_t bytes) {
  static TouchedBuffers buffers;
  if (buffers.from.size() < bytes) {
    buffers.from.assign(bytes, 0x5A);
    buffers.to.assign(bytes, 0xA5);
  }
  return buffers;
}

}  // namespace

std::vector<BenchPicture> MakeBenchPictures() {
  std::vector<BenchPicture> pictures;
  TestContainer c;
  c.frames = {PictureFrame(4000, 3000, 24, true, 1)};
  pictures.push_back(Make("24-bit compressed 4000x3000", c));
  c.frames[0].compressed = false;
  pictures.push_back(Make("24-bit stored 4000x3000", c));

  TestContainer indexed;
  indexed.pixelFormat = 8;
  for (uint32_t i = 0; i < 256; ++i) indexed.palette.push_back(i * 0x00010203u);
  indexed.frames = {PictureFrame(4000, 3000, 8, true, 2)};
  pictures.push_back(Make("8-bit compressed 4000x3000", indexed));

  TestContainer tall;
  for (uint32_t i = 0; i < 300; ++i) tall.frames.push_back(PictureFrame(1000, 40, 24, true, 3 + i));
  pictures.push_back(Make("300 frames of 1000x40", tall));

  TestContainer small;
  small.frames = {PictureFrame(200, 150, 24, true, 4)};
  pictures.push_back(Make("24-bit compressed 200x150", small));
  return pictures;
}

RoundSeconds TimeRound(const BenchPicture& picture, const std::function<bool(const Bytes&)>& ours,
                       const std::function<void(bool)>& oneThread) {
  RoundSeconds r{};
  double t = Now();
  if (!ours(picture.image)) std::abort();
  r.ours = Now() - t;

  oneThread(true);
  t = Now();
  if (!ours(picture.image)) std::abort();
  r.oursOne = Now() - t;
  oneThread(false);

  t = Now();
  PlainPicture geometry;
  if (!PlainGeometry(picture.image.data(), picture.image.size(), &geometry)) std::abort();
  uint8_t* plainPixels = static_cast<uint8_t*>(std::calloc(picture.pixelBytes ? picture.pixelBytes : 1, 1));
  if (!plainPixels || !PlainDecodePixels(picture.image.data(), picture.image.size(), geometry, plainPixels)) {
    std::abort();
  }
  std::free(plainPixels);
  r.plain = Now() - t;

  TouchedBuffers& touched = Touched(picture.pixelBytes);
  t = Now();
  std::memcpy(touched.to.data(), touched.from.data(), picture.pixelBytes);
  r.copy = Now() - t;

  t = Now();
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, picture.pixelBytes);
  void* p = block ? LocalLock(block) : nullptr;
  if (!p) std::abort();
  std::memcpy(p, touched.from.data(), picture.pixelBytes);
  LocalUnlock(block);
  LocalFree(block);
  r.fresh = Now() - t;
  return r;
}

BenchFigures Summarise(const std::vector<RoundSeconds>& rounds, size_t pixelBytes) {
  std::vector<double> ours, oursOne, plain, copy, fresh, overPlain, overCopy, overFresh, oneOverFresh;
  for (const RoundSeconds& r : rounds) {
    ours.push_back(r.ours);
    oursOne.push_back(r.oursOne);
    oneOverFresh.push_back(r.oursOne / r.fresh);
    plain.push_back(r.plain);
    copy.push_back(r.copy);
    fresh.push_back(r.fresh);
    overPlain.push_back(r.ours / r.plain);
    overCopy.push_back(r.ours / r.copy);
    overFresh.push_back(r.ours / r.fresh);
  }
  BenchFigures f;
  f.ours = Median(ours);
  f.oursOne = Median(oursOne);
  f.oursOneOverFresh = Median(oneOverFresh);
  f.plain = Median(plain);
  f.copy = Median(copy);
  f.fresh = Median(fresh);
  f.oursOverPlain = Median(overPlain);
  f.oursOverCopy = Median(overCopy);
  f.oursOverFresh = Median(overFresh);
  f.bytesPerSecond = f.ours > 0 ? double(pixelBytes) / f.ours : 0;
  return f;
}
