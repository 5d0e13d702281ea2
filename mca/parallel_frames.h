// Frames decoded over several threads: each frame's rows are its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/container.h"
#include "mca/frame_rows.h"

struct McaThreads;

// The frames of a container, in table order, and where each lands.
struct McaFramePlan {
  McaFrameHeader frame;
  FramePlacement placement;
  size_t needed;  // stream bytes its rows read
};

// Decodes the planned frames over several threads; false when memory for a
// frame is not to be had. Every frame's rows are its own: no two threads
// write one byte.
bool DecodeFramesInParallel(McaSpan container, const McaFramePlan* plans, size_t count, int32_t pixelFormat,
                            const McaCanvas& canvas, const McaThreads& threads);

// One compressed frame whose stream another thread expands while the calling
// thread places its rows; false when memory for it is not to be had.
bool DecodeCompressedFrameInParallel(McaSpan container, const McaFramePlan& plan, int32_t pixelFormat,
                                     const McaCanvas& canvas, const McaThreads& threads);
