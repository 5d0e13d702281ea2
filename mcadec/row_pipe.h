// A decode on a thread of its own, its rows handed to the calling thread
// through a small ring: the encoder works on finished rows while the next
// ones are decoded, in memory of a few bands of rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "mca/mca.h"

// Runs `decode(sink)` on a new thread and `take(y, rgb)` on the calling one
// for each row, in order. `take` answering false stops the decode. Returns the
// decode's status; without a thread to be had, decodes on the calling thread.
mca_status DecodeBesideWriter(const std::function<mca_status(const mca_row_sink&)>& decode,
                              const mca_row_sink& writer);
