// Files as small-integer handles over POSIX descriptors, with Windows share
// modes enforced between this process's handles.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "win32/win32_shim.h"

namespace {

struct OpenFile {
  int fd;
  dev_t device;
  ino_t inode;
  DWORD access;
  DWORD share;
};

constexpr size_t kMaxFiles = 1024;  // handles 4, 8, ... stay far below 0xFFFF
std::mutex tableLock;
OpenFile table[kMaxFiles];
bool used[kMaxFiles];

HANDLE HandleOf(size_t slot) { return reinterpret_cast<HANDLE>(uintptr_t((slot + 1) * 4)); }

// The slot of a live handle, or kMaxFiles. Caller holds tableLock.
size_t SlotOf(HANDLE file) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(file);
  if (value == 0 || value % 4 != 0 || value / 4 > kMaxFiles) return kMaxFiles;
  const size_t slot = value / 4 - 1;
  return used[slot] ? slot : kMaxFiles;
}

// Two opens of one file coexist only if each one's sharing allows the other's access.
bool SharingAllows(DWORD access, DWORD share, const OpenFile& other) {
  const bool readBlocked = ((access & GENERIC_READ) && !(other.share & FILE_SHARE_READ)) ||
                           ((other.access & GENERIC_READ) && !(share & FILE_SHARE_READ));
  const bool writeBlocked = ((access & GENERIC_WRITE) && !(other.share & FILE_SHARE_WRITE)) ||
                            ((other.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
  return !readBlocked && !writeBlocked;
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void*, DWORD disposition,
                   DWORD, HANDLE) {
  if (!name || disposition != OPEN_EXISTING) return INVALID_HANDLE_VALUE;
  const bool reads = access & GENERIC_READ;
  const bool writes = access & GENERIC_WRITE;
  const int mode = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
  const int fd = open(name, mode | O_CLOEXEC);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  std::lock_guard<std::mutex> guard(tableLock);
  size_t freeSlot = kMaxFiles;
  for (size_t i = 0; i < kMaxFiles; ++i) {
    if (!used[i]) {
      if (freeSlot == kMaxFiles) freeSlot = i;
    } else if (table[i].device == info.st_dev && table[i].inode == info.st_ino &&
               !SharingAllows(access, shareMode, table[i])) {
      freeSlot = kMaxFiles;  // a sharing violation
      break;
    }
  }
  if (freeSlot == kMaxFiles) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  table[freeSlot] = OpenFile{fd, info.st_dev, info.st_ino, access, shareMode};
  used[freeSlot] = true;
  return HandleOf(freeSlot);
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  std::lock_guard<std::mutex> guard(tableLock);
  const size_t slot = SlotOf(file);
  struct stat info;
  if (slot == kMaxFiles || fstat(table[slot].fd, &info) != 0) return INVALID_FILE_SIZE;
  const uint64_t size = uint64_t(info.st_size);
  if (high) *high = DWORD(size >> 32);
  return DWORD(size);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* bytesRead, void*) {
  int fd;
  {
    std::lock_guard<std::mutex> guard(tableLock);
    const size_t slot = SlotOf(file);
    if (slot == kMaxFiles) return FALSE;
    fd = table[slot].fd;
  }
  DWORD total = 0;
  while (total < bytes) {
    const ssize_t n = read(fd, static_cast<char*>(buffer) + total, bytes - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (bytesRead) *bytesRead = total;
      return FALSE;
    }
    if (n == 0) break;
    total += DWORD(n);
  }
  if (bytesRead) *bytesRead = total;
  return TRUE;
}

bool ShimCloseThread(HANDLE handle);

BOOL CloseHandle(HANDLE file) {
  std::unique_lock<std::mutex> guard(tableLock);
  const size_t slot = SlotOf(file);
  if (slot == kMaxFiles) {
    guard.unlock();
    return ShimCloseThread(file) ? TRUE : FALSE;
  }
  close(table[slot].fd);
  used[slot] = false;
  return TRUE;
}
