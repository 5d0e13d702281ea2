// The command line: parsed into Settings, and the combinations no run can
// take refused with words.
#pragma once

#include "mcadec/settings.h"

// -1 when the run goes on with `settings`; otherwise the exit status (0 after
// --help or --version, kUsageError after the words of a usage error).
int ParseCommandLine(int argc, char** argv, Settings* settings);
