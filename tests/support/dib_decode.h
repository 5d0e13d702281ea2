// The picture as the plug-in takes it, through the decoder's own path: the
// geometry from the probe, the DIB from mca_decode's decode with threads of
// the test's choosing (TestThreads spreads even small pictures over them).
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"
#include "mca/mca_threads.h"

struct McaGeometry {
  int32_t width;
  int32_t height;
  int32_t depth;  // always 24: the plug-in delivers every picture so
};

// The geometry of the probe's info; false (the geometry untouched) when a
// head, the palette, the frame table or a frame head lies outside the data.
bool ProbedGeometry(const uint8_t* data, size_t size, McaGeometry* geometry);

// The whole picture into the zero-filled DIB block of stride x height bytes,
// as the plug-in decodes it (no limits, damaged pictures too); `threads`
// null: the calling thread alone.
mca_status DecodeDib(const uint8_t* data, size_t size, uint8_t* pixels, size_t stride, int32_t height,
                     const McaThreads* threads = nullptr);
