// Ctrl-C, Ctrl-Break and the console closing: the temporary files removed,
// the words said, then the program ends as Windows programs ended by Ctrl-C
// do (STATUS_CONTROL_C_EXIT), so that a batch file around it asks to stop.
#include <windows.h>

#include <string>

#include "mcadec/interrupts.h"
#include "mcadec/platform.h"

namespace {

// Files are made and held under the lock shared; the handler takes it alone,
// so that it never runs between a file's making and its holding.
SRWLOCK making = SRWLOCK_INIT;

// The handler runs on a thread of its own, where the system layer's calls
// are as good as anywhere.
void Delete(const char* path) { RemoveFile(path); }

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
