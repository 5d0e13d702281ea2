// Running a batch: the files side by side on `jobs` threads, each failure in
// words as it happens, a progress bar and a summary.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Runs convert(i, &error) for every input; 0 when each answered true, 1
// when any failed (its words: "PROGRAM: INPUT: ERROR").
int RunBatch(const char* program, const std::vector<std::string>& inputs, const std::vector<uint64_t>& inputBytes,
             unsigned jobs, bool quiet, const std::function<bool(size_t, std::string*)>& convert);
