// One file's road: read, probe, decode row by row into the encoder, write.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "mca/mca.h"
#include "mcadec/input_file.h"
#include "mcadec/picture_writer.h"

struct ConvertOptions {
  EncodeOptions encode;
  bool force = false;
  // Decode on a thread of its own while the encoder takes the rows already
  // decoded; for one file at a time, when no other work keeps the cores busy.
  bool overlap = false;
  mca_options decode = {};   // limits and threads
  int32_t fitWidth = 0;      // --resize: fit inside this box, keeping the aspect (0: full size)
  int32_t fitHeight = 0;
};

// Converts `input` into `output` ("-": standard input or output). False with
// the reason in `error`; nothing is left at `output` then.
bool ConvertFile(const std::string& input, const std::string& output, const ConvertOptions& options,
                 std::string* error);

// --info: the picture's geometry and frames, as text or as a JSON object.
bool DescribeFile(const std::string& input, bool json, std::string* text, std::string* error);
// --json for a file that could not be described: {"file": ..., "error": ...}.
std::string DescribeFailure(const std::string& input, const std::string& error);
