// One mcaenc file's road: read the picture, flatten or refuse transparency,
// encode it as MCA (after a template where one is given), write it whole or
// not at all.
#pragma once

#include <string>

#include "mca/mca.h"

struct EncodeFileOptions {
  mca_options encode = {};         // depth, level, bands, threads, limits, template
  bool force = false;
  bool flatten = false;            // put `background` behind transparent pixels
  uint8_t background[3] = {0, 0, 0};
};

// False with the reason in `error`; nothing is left at `output` then.
bool EncodeFile(const std::string& input, const std::string& output, const EncodeFileOptions& options,
                std::string* error);
