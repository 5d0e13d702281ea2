// Running a planned conversion: the files side by side on `jobs` threads,
// each failure in words as it happens, a progress bar and a summary.
#pragma once

#include "mcadec/conversion_plan.h"

// 0 when every file converted, 1 when any failed.
int RunConversions(const ConversionPlan& plan, bool quiet);
