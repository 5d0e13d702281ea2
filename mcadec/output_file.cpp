#include "mcadec/output_file.h"

#include <cerrno>
#include <cstring>

#include "mcadec/platform.h"
#include "mcadec/interrupts.h"

namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = LastPathSeparator(path);
  if (slash == std::string::npos) return ".";
  // A root keeps its separator: "/", "C:\".
  const bool root = slash == 0 || (slash == 2 && path[1] == ':');
  return path.substr(0, root ? slash + 1 : slash);
}

bool OpenOutput(const std::string& target, bool force, OutputFile* out, std::string* error) {
  if (!force && PathExists(target)) {
    *error = target + " exists (--force replaces it)";
    return false;
  }
  out->target = target;
  out->stream = CreateTemporaryFile(FolderOf(target), &out->temporary);
  if (!out->stream) {
    *error = CannotCreate(target, FolderOf(target));
    return false;
  }
  return true;
}

bool CommitOutput(OutputFile* out, bool force, std::string* error) {
  const bool closed = std::fclose(out->stream) == 0;
  out->stream = nullptr;
  if (!closed) {
    *error = Reason("cannot write");
  } else if (PlaceFile(out->temporary, out->target, force)) {
    ReleaseTemporary(out->temporary.c_str());
    return true;
  } else {
    *error = errno == EEXIST ? out->target + " exists (--force replaces it)" : Reason("cannot create " + out->target);
  }
  RemoveFile(out->temporary);
  ReleaseTemporary(out->temporary.c_str());
  return false;
}

void DiscardOutput(OutputFile* out) {
  if (out->stream) std::fclose(out->stream);
  out->stream = nullptr;
  RemoveFile(out->temporary);
  ReleaseTemporary(out->temporary.c_str());
}
