// The picture's frames into the host's pixel block, then the completion report.
#pragma once

#include "plugin/plugin_api.h"

// Decodes every frame into the zero-filled 24-bit bottom-up pixel block of
// stride x height bytes and calls the callback once with (1, 1, data) on the
// calling thread, after every other thread has ended. 1 on success; 0 when a
// payload lies outside the data, memory is not to be had, or the callback
// asks to stop. `threads` null: the calling thread alone.
int FillDibPixels(const uint8_t* data, size_t size, uint8_t* pixels, ProgressCallback callback, intptr_t lData,
                  size_t stride, int32_t height, const mca_thread_api* threads = nullptr);

// Whether the probed picture may be decoded whole: false for one its payloads
// cannot fill (damaged or cut short), which is refused before its blocks are
// taken.
bool DibPictureFillable(const mca_info& geometry);
