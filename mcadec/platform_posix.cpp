// The files and terminals of POSIX systems.
#include <fcntl.h>
#include <limits.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mcadec/platform.h"
#include "mca/mca.h"
#include "mcadec/interrupts.h"

namespace {

// The permissions a new file gets here: 0666 less the umask, read once.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666 & ~mask);
  }();
  return mode;
}

}  // namespace

bool IsPathSeparator(char c) { return c == '/'; }

size_t LastPathSeparator(const std::string& path) { return path.rfind('/'); }

bool IdentifyFile(const std::string& path, FileId* id) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  *id = {uint64_t(info.st_dev), uint64_t(info.st_ino)};
  return true;
}

bool PathExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool ResolveFolder(const std::string& folder, std::string* resolved) {
  char path[PATH_MAX];
  if (!realpath(folder.c_str(), path)) return false;
  *resolved = path;
  return true;
}

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

bool RegularFileSize(std::FILE* file, uint64_t* size) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  *size = uint64_t(info.st_size);
  return true;
}

uint64_t FileSizeAt(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

int64_t TellFile(std::FILE* file) { return int64_t(ftello(file)); }

bool SeekFile(std::FILE* file, int64_t offset) { return fseeko(file, off_t(offset), SEEK_SET) == 0; }

const mca_thread_api* CodingThreads() { return nullptr; }

unsigned ProcessorCount() { return unsigned(mca_processors()); }

bool IsTerminal(std::FILE* file) { return isatty(fileno(file)); }

size_t TerminalColumns(std::FILE* file) {
  winsize size = {};
  return ioctl(fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

std::FILE* CreateTemporaryFile(const std::string& folder, std::string* path) {
  const std::string pattern = folder + "/.mcadec-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  BlockInterrupts();
  int fd = mkstemp(name.data());
  int cause = errno;
  if (fd >= 0 && !HoldTemporary(name.data())) {  // more files at once than slots: refuse rather than leave one
    close(fd);
    unlink(name.data());
    fd = -1;
    cause = EMFILE;
  }
  UnblockInterrupts();
  if (fd < 0) {
    errno = cause;
    return nullptr;
  }
  fchmod(fd, NewFileMode());
  std::FILE* stream = fdopen(fd, "wb");
  if (!stream) {
    cause = errno;
    close(fd);
    unlink(name.data());
    ReleaseTemporary(name.data());
    errno = cause;
    return nullptr;
  }
  *path = name.data();
  return stream;
}

// Without `replace`: a hard link fails on an existing name; where the file
// system has no links, a checked rename.
bool PlaceFile(const std::string& from, const std::string& to, bool replace) {
  if (replace) return rename(from.c_str(), to.c_str()) == 0;
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return false;
  if (PathExists(to)) {
    errno = EEXIST;
    return false;
  }
  return rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

// Some file systems (/proc, /sys) answer "No such file or directory" for a
// folder that exists but takes no new files.
std::string CannotCreate(const std::string& target, const std::string& folder) {
  const int cause = errno;
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
