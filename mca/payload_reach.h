// How much of a picture its payloads can fill, from the heads alone: a file
// cut short or damaged may declare a picture far larger than its payloads
// could ever give, and a whole decode would allocate it for nothing.
#pragma once

#include <cstdint>

#include "mca/container.h"

// Bytes of 24-bit pixels (three a pixel) that a frame whose payload lies in
// the data can fill at most: a stored payload gives what it holds;
// an LZSS stream at most 144 bytes for every 17 (a flag byte and eight
// 18-byte references) and never more than E and the last token past it;
// neither more than the frame's own rows.
uint64_t FrameReach(const McaFrameHeader& frame, int32_t pixelFormat);

// A picture of more 24-bit bytes than this is damaged when its payloads
// cannot fill a quarter of it. Below it, a short payload decodes as it
// always has, the rest black: such a picture costs little anywhere.
constexpr uint64_t kMcaUnfilledFloorBytes = uint64_t(16) << 20;
constexpr uint64_t kMcaUnfilledShare = 4;

bool PictureUnfilled(uint64_t reach, uint64_t pictureBytes);
