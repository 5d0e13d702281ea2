// What the public calls share: options resolved into threads, failures
// recorded for the caller, the limits.
#pragma once

#include "mca/mca.h"
#include "mca/container.h"
#include "mca/mca_threads.h"

// The options a call runs with: the caller's (as many fields as its size
// says, the rest defaults), or the defaults for null; false for a size below
// the first options struct's.
bool ResolveOptions(const mca_options* given, mca_options* options);

// The threads a decode may use: the count decided once, here.
McaThreads ThreadsFor(const mca_options& options);

mca_status Fail(mca_problem* problem, mca_status status, int32_t frame = -1, int64_t value = 0, int64_t limit = 0);
// MCA_OK, with the problem (where there is one) saying "no problem".
inline mca_status Succeed(mca_problem* problem) { return Fail(problem, MCA_OK); }
// A problem with the picture's size: its width and height go with it.
mca_status FailOnSize(mca_problem* problem, mca_status status, int32_t width, int32_t height, int64_t value,
                      int64_t limit);

// MCA_OK, or the limit a width x height output passes.
mca_status CheckLimits(int32_t width, int32_t height, const mca_options& options, mca_problem* problem);

// MCA_OK, or MCA_SHORT_PAYLOADS for a whole picture (its size within the
// limits) that its payloads cannot fill, unless the options allow it.
mca_status CheckFill(const mca_info& info, const mca_options& options, mca_problem* problem);

// The probe, of data in memory or through a reader; without `signature` the
// first three bytes are not looked at (decodes take whatever container they
// are given, as the plug-in does).
mca_status ProbeContainer(McaSpan container, bool signature, mca_info* info, mca_problem* problem);

// The reader's data as a container.
McaSpan ReaderSpan(const mca_reader* reader);

// mca_decode with the threads given: the public call passes the options'
// threads; tests pass their own, to spread small pictures over threads.
mca_status DecodeBuffer(McaSpan container, const mca_options& options, const McaThreads& threads, uint8_t* buffer,
                        size_t stride, size_t bufferSize, mca_problem* problem);
