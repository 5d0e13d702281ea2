// What mcadec asks of the system (files, terminals, processors): one
// implementation for POSIX systems (platform_posix.cpp), one for Windows
// (platform_windows.cpp). Paths are the user's bytes; on Windows they are
// UTF-8, turned into UTF-16 for each call, absolute ones under "\\?\" so that
// no length limit applies.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Whether `c` ends a folder's name in a path ('/'; on Windows '\' too).
bool IsPathSeparator(char c);
// The last separator in `path`, or std::string::npos.
size_t LastPathSeparator(const std::string& path);

// A file's identity, the same for every name of it (links, spellings).
struct FileId {
  uint64_t volume;
  uint64_t file;
  bool operator<(const FileId& other) const {
    return volume != other.volume ? volume < other.volume : file < other.file;
  }
};
bool IdentifyFile(const std::string& path, FileId* id);

bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
bool MakeFolder(const std::string& path);
// The folder's one spelling (links, "." and ".." resolved); false when it
// cannot be resolved (it does not exist yet).
bool ResolveFolder(const std::string& folder, std::string* resolved);

std::FILE* OpenForReading(const std::string& path);
// The size of an open regular file; false for a pipe or a terminal.
bool RegularFileSize(std::FILE* file, uint64_t* size);
// The size of the file at `path`, 0 when it cannot be told.
uint64_t FileSizeAt(const std::string& path);
// Positions beyond 2 GiB on every system.
int64_t TellFile(std::FILE* file);
bool SeekFile(std::FILE* file, int64_t offset);

// The processors this process may run on: -j's default.
unsigned ProcessorCount();
// The threads mcaenc's frames are coded on: null where the encoder's own
// (the C++ library's) serve.
struct mca_thread_api;
const mca_thread_api* CodingThreads();

bool IsTerminal(std::FILE* file);
// The terminal's width in columns (80 when it cannot be told).
size_t TerminalColumns(std::FILE* file);

// A new file in `folder` named ".mcadec-" and six characters, opened for
// writing with the permissions a new file gets there, and held for removal
// should the program be interrupted (interrupts.h) until ReleaseTemporary.
// Null, with errno set, when none can be made.
std::FILE* CreateTemporaryFile(const std::string& folder, std::string* path);
// Puts the closed file `from` at `to` in one step: with `replace`, in place
// of an existing file; without, never over one (errno EEXIST then).
bool PlaceFile(const std::string& from, const std::string& to, bool replace);
void RemoveFile(const std::string& path);
// Why no file can be made at `target` (errno from the call that failed), in
// the user's terms.
std::string CannotCreate(const std::string& target, const std::string& folder);
