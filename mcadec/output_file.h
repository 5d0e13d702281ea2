// An output file that appears whole or not at all: written to a temporary
// file in the target folder, then linked or renamed into place.
#pragma once

#include <cstdio>
#include <string>

// The folder a path names its file in ("." for a bare name).
std::string FolderOf(const std::string& path);

struct OutputFile {
  std::string target;
  std::string temporary;
  FILE* stream = nullptr;
};

// Creates the temporary file. False with `error` set when the target exists
// (and `force` is off) or the folder takes no file.
bool OpenOutput(const std::string& target, bool force, OutputFile* out, std::string* error);

// Closes the stream and puts the file in place; without `force` an existing
// file is never replaced, even one that appeared meanwhile. On failure, and
// in DiscardOutput, the temporary file is removed.
bool CommitOutput(OutputFile* out, bool force, std::string* error);
void DiscardOutput(OutputFile* out);
