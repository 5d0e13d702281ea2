// Decoding every frame of a picture onto a canvas, on one thread or several.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mca/container.h"
#include "mca/frame_rows.h"

struct McaThreads;

// Decodes every frame onto a canvas whose palette is still to be filled (in
// the canvas's byte order): MCA_OK; MCA_FRAME_HEAD_OUTSIDE or
// MCA_PAYLOAD_OUTSIDE for the first broken frame (the frames before it are
// placed); MCA_NO_MEMORY; MCA_READ_FAILED when the container's reader fails.
// Data read through a reader is decoded on the calling thread alone. A canvas
// with an emitter places its rows on the calling thread; other threads may
// only expand compressed frames for it.
mca_status DecodeMcaCanvas(McaSpan container, McaCanvas* canvas, const McaThreads* threads = nullptr);
