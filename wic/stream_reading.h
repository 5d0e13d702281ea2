// Reading an MCA picture from any IStream a WIC client hands over: a file, a
// block of memory, a network stream; only Seek and Read are assumed.
#pragma once

#include <objidl.h>

#include <cstddef>
#include <cstdint>

#include "mca/mca.h"

// Files larger than this are refused before reading: a picture within the
// decoder's default limits is far smaller, and a 32-bit process could not
// hold the file and its pixels anyway.
constexpr uint64_t kMaxStreamBytes = uint64_t{1} << 30;

// True when the stream, from its current position, begins with "MCA"; the
// position is left where it was.
HRESULT StreamHasSignature(IStream* stream, bool* has);

// The stream from its current position to its end, in a block from malloc
// that the caller frees. A stream that ends early gives the bytes it had.
HRESULT ReadRestOfStream(IStream* stream, uint8_t** data, size_t* size);

// Reads for the decodes through a reader (mca_decode_scaled_reader): each
// read seeks to its offset and reads in full; the first failure's HRESULT
// stays in `error`.
struct StreamReader {
  IStream* stream;
  uint64_t length;  // the stream's, as ProbeStream found it
  HRESULT error;
};
mca_reader StreamReaderFor(StreamReader* state);

// The picture's head, frame table and frame heads read from the stream's
// start (mca_probe_reader), never a payload: a few small reads for a picture
// of any size. A failed read gives the stream's HRESULT in `readError`.
// `length` is the stream's, the position of its end.
mca_status ProbeStream(IStream* stream, uint64_t* length, mca_info* info, mca_problem* problem, HRESULT* readError);
