#include "mcadec/output_file.h"

#include "mcadec/interrupts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {


std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Why no file can be made at `target`, in the user's terms: some file
// systems (/proc, /sys) answer "No such file or directory" for a folder that
// exists but takes no new files.
std::string CannotCreate(const std::string& target) {
  const int cause = errno;
  const std::string folder = FolderOf(target);
  struct stat info;
  std::string why;
  if (stat(folder.c_str(), &info) != 0) {
    why = "there is no folder " + folder;
  } else if (!S_ISDIR(info.st_mode)) {
    why = folder + " is not a folder";
  } else if (cause == ENOENT) {
    why = "the folder " + folder + " takes no new files";
  } else {
    why = std::strerror(cause);
  }
  return "cannot create " + target + ": " + why;
}

// The permissions a new file gets here: 0666 less the umask, read once.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666 & ~mask);
  }();
  return mode;
}

// Puts the file in place unless the target exists: a hard link fails on an
// existing name; where the file system has no links, a checked rename.
bool PlaceWithoutReplacing(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return false;
  struct stat info;
  if (stat(to.c_str(), &info) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool OpenOutput(const std::string& target, bool force, OutputFile* out, std::string* error) {
  struct stat info;
  if (!force && stat(target.c_str(), &info) == 0) {
    *error = target + " exists (--force replaces it)";
    return false;
  }
  std::string pattern = FolderOf(target) + "/.mcadec-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = CreateTemporary(name.data());
  if (fd < 0) {
    *error = CannotCreate(target);
    return false;
  }
  fchmod(fd, NewFileMode());
  out->target = target;
  out->temporary = name.data();
  out->stream = fdopen(fd, "wb");
  if (!out->stream) {
    *error = Reason("cannot write");
    close(fd);
    unlink(out->temporary.c_str());
    ReleaseTemporary(out->temporary.c_str());
    return false;
  }
  return true;
}

bool CommitOutput(OutputFile* out, bool force, std::string* error) {
  const bool closed = std::fclose(out->stream) == 0;
  out->stream = nullptr;
  if (!closed) {
    *error = Reason("cannot write");
  } else if (force ? rename(out->temporary.c_str(), out->target.c_str()) == 0
                   : PlaceWithoutReplacing(out->temporary, out->target)) {
    ReleaseTemporary(out->temporary.c_str());
    return true;
  } else {
    *error = errno == EEXIST ? out->target + " exists (--force replaces it)" : Reason(("cannot create " + out->target).c_str());
  }
  unlink(out->temporary.c_str());
  ReleaseTemporary(out->temporary.c_str());
  return false;
}

void DiscardOutput(OutputFile* out) {
  if (out->stream) std::fclose(out->stream);
  out->stream = nullptr;
  unlink(out->temporary.c_str());
  ReleaseTemporary(out->temporary.c_str());
}
