// A frame's decoded pixel stream, handed out row by row.
//
// The stream is produced in a small window of its own: stored payloads are
// descrambled straight from the container into it, compressed ones expanded
// into it from a small scratch of descrambled stream bytes. The window keeps
// the 4096 bytes that back-references may reach, a row and a batch, so a
// frame of any size costs a window sized from its row length, never from the
// picture.
#pragma once

#include "mca/lzss_expander.h"
#include "mca/container.h"
#include "mca/descramble.h"
#include "mca/lzss.h"

struct FrameStream {
  McaSpan container;
  uint64_t payloadOffset;
  bool readFailed;     // a read through the container's reader failed: the payload ends there
  size_t stored;       // payload bytes (L)
  bool compressed;
  size_t limit;        // expanded size (E), for compressed frames
  size_t needed;       // bytes the frame's rows read; nothing past them is produced
  size_t rowBytes;
  DescrambleMask mask;
  uint8_t* window;
  size_t windowSize;
  size_t base;         // stream position of window[0]
  size_t next;         // stream position of the next row
  size_t horizon;      // no token starts at or after this stream position (SIZE_MAX: none)
  LzssState lzss;
  uint8_t scratch[4096];  // descrambled payload bytes scratchFirst .. scratchEnd - 1
  size_t scratchFirst;
  size_t scratchEnd;
};

// Bytes of window a frame needs: the history, a row, a token's copy slack and
// a batch, never more than the bytes its rows read (and at least 1).
size_t FrameWindowSize(size_t rowBytes, size_t needed);

// `window` holds FrameWindowSize(rowBytes, needed) bytes; the frame's payload
// lies inside the container, which may be read through a reader.
void OpenFrameStream(McaSpan container, const McaFrameHeader& frame, size_t rowBytes, size_t needed,
                     uint8_t* window, FrameStream* stream);

// A stored frame's stream from row `row` on: a stored payload's bytes can be
// had from anywhere, so threads can each take a range of its rows.
void SkipToStoredRow(FrameStream* stream, size_t row);

// The next rowBytes bytes of the stream, valid until the next call. Bytes the
// payload does not produce are zero.
const uint8_t* NextFrameRow(FrameStream* stream);

// Carries on in another window: what back-references may still reach and the
// current row are copied over, and the old window is never touched again, so
// rows handed out from it stay valid. A window of
// kFrameStreamMoveReserve + n x rowBytes bytes, with the horizon set at most
// n rows on, then hands out those n rows without sliding: they lie one after
// another in it.
void MoveFrameStream(FrameStream* stream, uint8_t* window, size_t windowSize);
constexpr size_t kFrameStreamMoveReserve = kLzssRingSize + 4 * kLzssCopySlack;
