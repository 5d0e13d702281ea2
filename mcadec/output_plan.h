// Where each input's picture goes, decided for the whole run before anything
// is written: no output may be an input, and no two inputs may share an
// output, so that a run never destroys a picture or its own work.
#pragma once

#include <string>
#include <vector>


// What a program's outputs are named (`extension`, with its dot) and what
// its inputs are: `isInput` tells a file of that kind, named in `inputKind`
// ("an MCA picture").
struct OutputNaming {
  std::string extension;
  bool (*isInput)(const std::string& path);
  const char* inputKind;
};

// Names every input's output (one per input; "-" for standard output): into
// the folder `output` when `intoFolder` (see WritesIntoFolder), as `output`
// itself for one input, else beside the input with the extension.
// False with the reason when an output is one of the inputs (same file,
// whatever the spelling or link) or two inputs would be written to one file.
bool PlanOutputs(const std::vector<std::string>& inputs, const std::string& output, bool intoFolder,
                 const OutputNaming& naming, std::vector<std::string>* outputs, std::string* error);

// Whether -o names a folder: several inputs, an existing folder, or a name
// ending in "/".
bool WritesIntoFolder(size_t inputs, const std::string& output);
