// The threads a picture decode may use: as many as the processors this
// process may run on (its affinity mask), started with CreateThread.
#pragma once

#include "mca/mca.h"

mca_thread_api WindowsDecodeThreads();
