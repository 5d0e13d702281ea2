#include "mcadec/output_plan.h"

#include "mcadec/platform.h"
#include "mcadec/output_file.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = LastPathSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The input's name without its extension, to which the format's is added.
std::string Stem(const std::string& path) {
  const size_t slash = LastPathSeparator(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) return path;
  return path.substr(0, dot);
}

// One spelling for every name of the same place: the folder resolved (links,
// "..", "./"), then the file's own name. A folder not yet made keeps its
// spelling: all outputs into it are spelt alike.
std::string Place(const std::string& path) {
  std::string resolved;
  if (!ResolveFolder(FolderOf(path), &resolved)) return path;
  return resolved + "/" + BaseName(path);
}

}  // namespace

bool WritesIntoFolder(size_t inputs, const std::string& output) {
  return !output.empty() && output != "-" && (inputs > 1 || IsFolder(output) || IsPathSeparator(output.back()));
}

bool PlanOutputs(const std::vector<std::string>& inputs, const std::string& output, bool intoFolder,
                 const OutputNaming& naming, std::vector<std::string>* outputs, std::string* error) {
  outputs->clear();
  for (const std::string& input : inputs) {
    if (intoFolder) {
      std::string folder = output;
      if (!IsPathSeparator(folder.back())) folder += '/';
      outputs->push_back(folder + Stem(BaseName(input == "-" ? "stdin" : input)) + naming.extension);
    } else if (!output.empty()) {
      outputs->push_back(output);
    } else {
      outputs->push_back(input == "-" ? "-" : Stem(input) + naming.extension);
    }
  }
  std::map<FileId, std::string> inputFiles;
  for (const std::string& input : inputs) {
    FileId id;
    if (input != "-" && IdentifyFile(input, &id)) inputFiles.emplace(id, input);
  }
  std::map<std::string, size_t> claimed;  // place -> the input writing there
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string& out = (*outputs)[i];
    if (out == "-") continue;
    FileId id;
    if (IdentifyFile(out, &id)) {
      const auto source = inputFiles.find(id);
      if (source != inputFiles.end()) {
        // A picture of another kind named for the output it would get
        // (mcadec x.png) is first of all not an input.
        *error = naming.isInput(source->second)
                     ? "the output " + out + " is the input " + source->second + " itself; nothing converted"
                     : source->second + ": not " + naming.inputKind + "; nothing converted";
        return false;
      }
    }
    const auto [earlier, fresh] = claimed.emplace(Place(out), i);
    if (!fresh) {
      *error = inputs[earlier->second] + " and " + inputs[i] + " would both be written to " + out +
               "; nothing converted (convert them separately, or into different folders)";
      return false;
    }
  }
  return true;
}
