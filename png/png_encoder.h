// A PNG written as its rows arrive, deflated on several threads.
//
// Each row takes the filter whose output has the smallest sum of absolute
// values (palette rows take none). The filtered bytes are cut into chunks
// that are deflated side by side, each primed with the 32 KiB before it and
// ended with a full flush, and written in order as one zlib stream, so the
// file is an ordinary PNG. Memory is a few chunks, whatever the picture's
// size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A level that means zlib level 6 with a match chain of 64 and matches up
// to 258 bytes long.
constexpr int kPngTunedLevel = -1;

struct PngEncoder {
  FILE* out = nullptr;
  int32_t height = 0;
  bool indexed = false;
  int level = kPngTunedLevel;
  unsigned threads = 1;
  size_t rowBytes = 0;         // without the filter byte
  int32_t rowsTaken = 0;
  std::vector<std::vector<uint8_t>> raw;  // rows waiting, a chunk's worth each
  std::vector<uint8_t> above;             // the row above raw[0] (zeros above the first)
  std::vector<uint8_t> history;           // the last 32 KiB of filtered bytes before raw[0]
  uint32_t adler = 1;
  bool headerWritten = false;
  std::string error;
};

// Writes the signature, IHDR and (for `palette`, RGB triples) PLTE. The
// width is at least 1.
bool OpenPng(PngEncoder* e, FILE* out, int32_t width, int32_t height, const std::vector<uint8_t>* palette, int level,
             unsigned threads);
// One row: 3 x width bytes of RGB, or width palette indexes.
bool WritePngRow(PngEncoder* e, const uint8_t* row);
// Once every row is written: the last data and IEND.
bool ClosePng(PngEncoder* e);
