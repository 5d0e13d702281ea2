#include "mca/frame_stream.h"

#include <cstdint>
#include <cstring>

namespace {

// Output produced between two slides of the window, beyond the history and a row.
constexpr size_t kBatch = 32 * 1024;

size_t Min(size_t a, size_t b) { return a < b ? a : b; }

// Descrambled payload bytes from .. from + count - 1 into `to`. A reader
// that fails ends the payload where the failed read began.
bool Fetch(FrameStream* s, size_t from, uint8_t* to, size_t count) {
  const McaSpan& c = s->container;
  if (!c.reader) {
    ApplyDescrambleMask(s->mask, c.data + s->payloadOffset + from, to, from, count);
    return true;
  }
  if (!ReadMcaBytes(c, s->payloadOffset + from, to, count)) {
    s->readFailed = true;
    s->stored = from;
    return false;
  }
  ApplyDescrambleMask(s->mask, to, to, from, count);
  return true;
}

// Keeps the scratch ahead of the expander by at least a turn's input.
void Refill(FrameStream* s) {
  const size_t in = s->lzss.in;
  if (s->scratchEnd == s->stored || s->scratchEnd - in >= kLzssTurnInput) return;
  const size_t kept = s->scratchEnd - in;
  std::memmove(s->scratch, s->scratch + (in - s->scratchFirst), kept);
  const size_t more = Min(sizeof s->scratch - kept, s->stored - s->scratchEnd);
  s->scratchFirst = in;
  if (Fetch(s, s->scratchEnd, s->scratch + kept, more)) s->scratchEnd += more;
}

// Produces as much of the stream as fits in the window, or as the scratch holds.
void FillWindow(FrameStream* s) {
  const size_t windowEnd = s->base + s->windowSize;
  if (s->compressed) {
    Refill(s);
    // Before the pause a token's copy stays inside the window; when the
    // window reaches past the needed bytes, tokens stop there anyway.
    const size_t pause = Min(windowEnd >= s->needed ? s->needed : windowEnd - kLzssCopySlack, s->horizon);
    RunLzss(LzssInput{s->scratch, s->scratchFirst, s->scratchEnd, s->stored},
            LzssWindowOutput(s->window, s->base, windowEnd, pause, s->limit, s->needed), &s->lzss);
    return;
  }
  const size_t end = Min(Min(Min(s->stored, s->needed), windowEnd), s->horizon);
  size_t& out = s->lzss.out;
  if (out < end && Fetch(s, out, s->window + (out - s->base), end - out)) out = end;
  s->lzss.finished = out >= Min(s->stored, s->needed);
}

// The stream position from which the window must keep its bytes: the 4096
// bytes before the output, and the current row.
size_t KeepFrom(const FrameStream* s) {
  const size_t out = s->lzss.out;
  const size_t keep = out > kLzssRingSize ? out - kLzssRingSize : 0;
  return s->next < keep ? s->next : keep;
}

// Moves what the window must keep to its start.
void Slide(FrameStream* s) {
  const size_t keep = KeepFrom(s);
  if (keep <= s->base) return;
  std::memmove(s->window, s->window + (keep - s->base), s->lzss.out - keep);
  s->base = keep;
}

}  // namespace

size_t FrameWindowSize(size_t rowBytes, size_t needed) {
  // A frame whose rows read nothing still gets a byte: malloc(0) may answer null.
  if (needed == 0) return 1;
  // needed counts whole rows, so a row that is read is never longer than it.
  return Min(needed, kLzssRingSize + kLzssCopySlack + kBatch + rowBytes);
}

void OpenFrameStream(McaSpan container, const McaFrameHeader& frame, size_t rowBytes, size_t needed,
                     uint8_t* window, FrameStream* s) {
  s->container = container;
  s->payloadOffset = frame.payloadOffset;
  s->readFailed = false;
  s->stored = size_t(frame.storedSize);
  s->compressed = frame.compression != 0;
  s->limit = frame.expandedSize > 0 ? size_t(frame.expandedSize) : 0;
  s->needed = needed;
  s->rowBytes = rowBytes;
  BuildDescrambleMask(frame.storedSize, &s->mask);
  s->window = window;
  s->windowSize = FrameWindowSize(rowBytes, needed);
  s->base = 0;
  s->next = 0;
  s->horizon = SIZE_MAX;
  s->lzss = LzssState{};
  s->scratchFirst = 0;
  s->scratchEnd = 0;
}

void SkipToStoredRow(FrameStream* s, size_t row) {
  s->next = row * s->rowBytes;
  s->base = s->next;
  s->lzss.out = s->next;
}

void MoveFrameStream(FrameStream* s, uint8_t* window, size_t windowSize) {
  const size_t keep = KeepFrom(s) > s->base ? KeepFrom(s) : s->base;
  std::memcpy(window, s->window + (keep - s->base), s->lzss.out - keep);
  s->window = window;
  s->windowSize = windowSize;
  s->base = keep;
}

const uint8_t* NextFrameRow(FrameStream* s) {
  const size_t rowEnd = s->next + s->rowBytes;
  while (s->lzss.out < rowEnd && !s->lzss.finished) {
    const size_t windowEnd = s->base + s->windowSize;
    if (windowEnd < s->needed && windowEnd - s->lzss.out <= kLzssCopySlack) Slide(s);
    FillWindow(s);
  }
  if (s->lzss.out < rowEnd) {
    // The payload has ended: the rest of the stream reads as zero.
    if (rowEnd - s->base > s->windowSize) Slide(s);
    std::memset(s->window + (s->lzss.out - s->base), 0, rowEnd - s->lzss.out);
    s->lzss.out = rowEnd;
  }
  const uint8_t* row = s->window + (s->next - s->base);
  s->next = rowEnd;
  return row;
}
