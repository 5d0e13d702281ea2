// The files, terminals and processors of Windows. Paths arrive as UTF-8 and
// go to the wide calls; absolute ones under "\\?\" so that paths past 260
// characters work on every Windows, whatever its long-path setting.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>

#include "mcadec/interrupts.h"
#include "mcadec/platform.h"

#include "windows/decode_threads.h"
#include "mcadec/utf16.h"

namespace {

// The path the wide calls take: made whole ("..", "/" and the current folder
// resolved), and a drive's or a share's path put under "\\?\", which takes
// any length. Device names (NUL, CON) stay as the system resolves them.
std::wstring SystemPath(const std::string& path) {
  const std::wstring wide = Utf16(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  full.resize(got);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\", 0) == 0 && full.rfind(L"\\\\.\\", 0) != 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return full;
}

// errno for the last failed call, so that the callers' words are the same
// as on other systems.
void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_TOO_MANY_OPEN_FILES: errno = EMFILE; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: errno = ENOMEM; break;
    default: errno = EIO; break;
  }
}

HANDLE OpenExisting(const std::string& path) {
  // Backup semantics open folders too.
  return CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(SystemPath(path).c_str()); }

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

// Six characters for a temporary file's name, different for each try.
std::string NameCharacters(uint64_t seed) {
  static const char kCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string text;
  for (int i = 0; i < 6; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    text += kCharacters[(seed >> 33) % 36];
  }
  return text;
}

}  // namespace

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastPathSeparator(const std::string& path) { return path.find_last_of("/\\"); }

bool IdentifyFile(const std::string& path, FileId* id) {
  const HANDLE h = OpenExisting(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return false;
  *id = {info.dwVolumeSerialNumber, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
  return true;
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::string& path) { return CreateDirectoryW(SystemPath(path).c_str(), nullptr); }

bool ResolveFolder(const std::string& folder, std::string* resolved) {
  const HANDLE h = OpenExisting(folder);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
  if (n >= path.size()) {
    path.resize(n);
    n = GetFinalPathNameByHandleW(h, path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
  }
  CloseHandle(h);
  if (n == 0 || n >= path.size()) return false;
  path.resize(n);
  *resolved = Utf8(path);
  return true;
}

std::FILE* OpenForReading(const std::string& path) { return _wfopen(SystemPath(path).c_str(), L"rb"); }

bool RegularFileSize(std::FILE* file, uint64_t* size) {
  LARGE_INTEGER bytes;
  const HANDLE h = HandleOf(file);
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &bytes)) return false;
  *size = uint64_t(bytes.QuadPart);
  return true;
}

uint64_t FileSizeAt(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

int64_t TellFile(std::FILE* file) { return _ftelli64(file); }

bool SeekFile(std::FILE* file, int64_t offset) { return _fseeki64(file, offset, SEEK_SET) == 0; }

const mca_thread_api* CodingThreads() {
  // The library is built without the C++ library's threads on Windows.
  static const mca_thread_api threads = WindowsDecodeThreads();
  return &threads;
}

unsigned ProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  unsigned count = 0;
  for (; process; process &= process - 1) ++count;
  return count;
}

// A console, not a file or NUL (which _isatty also takes for a terminal).
bool IsTerminal(std::FILE* file) {
  DWORD mode;
  return GetConsoleMode(HandleOf(file), &mode);
}

size_t TerminalColumns(std::FILE* file) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(HandleOf(file), &info)) return 80;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? size_t(columns) : 80;
}

std::FILE* CreateTemporaryFile(const std::string& folder, std::string* path) {
  // Shared for deleting: an interrupt removes the file while it is open.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
  uint64_t seed = uint64_t(GetCurrentProcessId()) << 32 ^ GetTickCount64() ^ uint64_t(uintptr_t(path));
  for (int attempt = 0; attempt < 100; ++attempt, ++seed) {
    const std::string name = folder + "\\.mcadec-" + NameCharacters(seed);
    BlockInterrupts();
    const HANDLE h = CreateFileW(SystemPath(name).c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD cause = GetLastError();
    const bool held = h != INVALID_HANDLE_VALUE && HoldTemporary(name.c_str());
    if (h != INVALID_HANDLE_VALUE && !held) {  // more files at once than slots: refuse rather than leave one
      CloseHandle(h);
      DeleteFileW(SystemPath(name).c_str());
    }
    UnblockInterrupts();
    if (h == INVALID_HANDLE_VALUE) {
      if (cause == ERROR_FILE_EXISTS || cause == ERROR_ALREADY_EXISTS) continue;
      SetLastError(cause);
      SetErrnoFromLastError();
      return nullptr;
    }
    if (!held) {
      errno = EMFILE;
      return nullptr;
    }
    const int fd = _open_osfhandle(intptr_t(h), _O_WRONLY | _O_BINARY);
    std::FILE* stream = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (!stream) {
      if (fd >= 0) _close(fd);
      else CloseHandle(h);
      DeleteFileW(SystemPath(name).c_str());
      ReleaseTemporary(name.c_str());
      errno = EMFILE;
      return nullptr;
    }
    *path = name;
    return stream;
  }
  errno = EEXIST;
  return nullptr;
}

// MoveFileEx puts a file in place in one step: with MOVEFILE_REPLACE_EXISTING
// over an existing one, without it never.
bool PlaceFile(const std::string& from, const std::string& to, bool replace) {
  const DWORD how = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), how)) return true;
  SetErrnoFromLastError();
  return false;
}

void RemoveFile(const std::string& path) { DeleteFileW(SystemPath(path).c_str()); }

std::string CannotCreate(const std::string& target, const std::string& folder) {
  const int cause = errno;
  const DWORD a = Attributes(folder);
  std::string why;
  if (a == INVALID_FILE_ATTRIBUTES) {
    why = "there is no folder " + folder;
  } else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
    why = folder + " is not a folder";
  } else {
    why = std::strerror(cause);
  }
  return "cannot create " + target + ": " + why;
}
