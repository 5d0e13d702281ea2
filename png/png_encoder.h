// A PNG written as its rows arrive, filtered and deflated on several threads.
//
// Each row takes the filter whose output has the smallest sum of absolute
// values (palette rows take none). The rows are cut into chunks of a fixed
// number of rows, whatever the thread count; workers that live as long as
// the encoder filter and deflate the chunks side by side while more rows
// come, and the chunks are written in order, an IDAT each, as one zlib
// stream. So the file's bytes depend on the picture and the level only, and
// memory is a few chunks, whatever the picture's size.
#pragma once

#include "png/deflate_chunk.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct PngPipeline;
struct PngPipelineStop {
  void operator()(PngPipeline* p) const;
};

struct PngEncoder {
  FILE* out = nullptr;
  int32_t height = 0;
  int32_t rowsTaken = 0;
  uint32_t adler = 1;
  bool headerWritten = false;
  std::unique_ptr<PngPipeline, PngPipelineStop> pipeline;
  std::string error;
};

// Writes the signature, IHDR and (for `palette`, RGB triples) PLTE and starts
// `threads` workers (none for 1: the calling thread does the work). The width
// is at least 1; `level` is 0-9 or kDeflateAutoLevel.
bool OpenPng(PngEncoder* e, FILE* out, int32_t width, int32_t height, const std::vector<uint8_t>* palette, int level,
             unsigned threads);
// One row: 3 x width bytes of RGB, or width palette indexes.
bool WritePngRow(PngEncoder* e, const uint8_t* row);
// Once every row is written: the last data and IEND.
bool ClosePng(PngEncoder* e);
