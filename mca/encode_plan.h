// What mca_encode writes before any pixel: the head, the palette as it
// starts, and the frames, from a template or as bands of the picture.
#pragma once

#include <cstdint>

#include "mca/container.h"
#include "mca/mca.h"
#include "mca/plain_array.h"

struct EncodeFrame {
  int32_t width;
  int32_t height;
  const uint8_t* head;   // the template's 32 bytes, or null (zeros)
  uint32_t compression;  // the template's flag; bands: 1 (stored when coding gains nothing)
};

struct EncodePlan {
  int32_t width;
  int32_t height;
  bool indexed;              // 8-bit palette indexes
  bool fromTemplate;
  uint8_t head[kMcaHeaderSize];
  uint8_t palette[4 * kMcaMaxPaletteCount] = {};  // entries as they lie; those past the count zero
  int32_t paletteCount;
  PlainArray<EncodeFrame> frames;
};

// The template's head, palette and frames for a width x height picture: the
// probe's status for a template whose heads do not lie in it (its payloads
// are never read), MCA_UNFIT_TEMPLATE for a frame with a negative side,
// MCA_SIZE_DIFFERS for another size; MCA_NO_MEMORY.
mca_status PlanFromTemplate(const uint8_t* like, size_t size, int32_t width, int32_t height, EncodePlan* plan,
                            mca_problem* problem);

// A new container: a zero head but for the signature and the pixel format,
// and the picture in bands of `bandHeight` rows (0: about MCA_BAND_BYTES of
// frame rows each). False when out of memory.
bool PlanBands(int32_t width, int32_t height, bool indexed, int32_t bandHeight, EncodePlan* plan);
