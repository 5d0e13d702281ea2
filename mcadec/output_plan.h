// Where each input's picture goes, decided for the whole run before anything
// is written: no output may be an input, and no two inputs may share an
// output, so that a run never destroys a picture or its own work.
#pragma once

#include <string>
#include <vector>

#include "mcadec/picture_writer.h"

// Names every input's output (one per input; "-" for standard output): into
// the folder `output` when `intoFolder` (see WritesIntoFolder), as `output`
// itself for one input, else beside the input with the format's extension.
// False with the reason when an output is one of the inputs (same file,
// whatever the spelling or link) or two inputs would be written to one file.
bool PlanOutputs(const std::vector<std::string>& inputs, const std::string& output, bool intoFolder,
                 ImageFormat format, std::vector<std::string>* outputs, std::string* error);

// Whether -o names a folder: several inputs, an existing folder, or a name
// ending in "/".
bool WritesIntoFolder(size_t inputs, const std::string& output);
