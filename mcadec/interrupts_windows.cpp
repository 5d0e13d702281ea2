// Ctrl-C, Ctrl-Break and the console closing: the temporary files removed,
// the words said, then the program ends as Windows programs ended by Ctrl-C
// do (STATUS_CONTROL_C_EXIT), so that a batch file around it asks to stop.
#include <windows.h>

#include <string>

#include "mcadec/interrupts.h"

namespace {

// Files are made and held under the lock shared; the handler takes it alone,
// so that it never runs between a file's making and its holding.
SRWLOCK making = SRWLOCK_INIT;

void Delete(const char* path) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), n);
  // A name that is not absolute is taken from the current folder, as when
  // the file was made; a long one needs "\\?\", which takes a whole path.
  std::wstring full(32768, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
  full.resize(got);
  if (full.size() >= 3 && full[1] == L':') full = L"\\\\?\\" + full;
  DeleteFileW(got ? full.c_str() : wide.c_str());
}

void SayOnStandardError(const char* text, size_t length) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, DWORD(length), &written, nullptr);
}

BOOL WINAPI Interrupted(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  AcquireSRWLockExclusive(&making);  // kept: no file is made after this
  RemoveTemporariesAndSay(Delete, SayOnStandardError);
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

void RemoveTemporariesOnSignals() { SetConsoleCtrlHandler(Interrupted, TRUE); }

void BlockInterrupts() { AcquireSRWLockShared(&making); }

void UnblockInterrupts() { ReleaseSRWLockShared(&making); }
