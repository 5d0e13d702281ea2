// The command line through CLI11, for mcadec and mcaenc alike: help and
// version answered, and what cannot be parsed said plainly.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>

// The options both programs take, as both describe them: the limits, -q, -f
// and --version ("PROGRAM VERSION").
void AddSharedOptions(CLI::App& app, const char* program, uint64_t* sizeLimit, uint32_t* dimensionLimit, bool* quiet,
                      bool* force);

// Parses argv into `app`'s options: -1 to go on; otherwise the exit status
// after help, the version, or the words for what is wrong (kUsageError),
// which name `program` and, when nothing at all is given, `usage`.
int ParseArguments(CLI::App& app, int argc, char** argv, const char* program, const char* usage);
