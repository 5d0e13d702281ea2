// What the codec's objects answer for a decoder problem, and how they tell
// it: in words on the debugger's output, as WIC codecs report.
#pragma once

#include <windows.h>

#include "mca/mca.h"

// The HRESULT WIC clients expect for a status, with the problem reported
// when it failed; a failed read (MCA_READ_FAILED) answers the stream's own
// HRESULT, `readError`.
HRESULT Answer(mca_status status, const mca_problem& problem, HRESULT readError = E_FAIL);
