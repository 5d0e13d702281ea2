// What the codec's objects answer for a decoder problem, and how they tell it.
#pragma once

#include <windows.h>

#include "mca/mca.h"

// The HRESULT WIC clients expect for each kind of problem.
HRESULT ResultFor(mca_status status);

// The problem in words on the debugger's output, as WIC codecs report.
void ReportProblem(const mca_problem& problem);
