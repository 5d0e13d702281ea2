// Temporary files that an interrupt (Ctrl-C; SIGINT, SIGTERM or SIGHUP, or
// the Windows console's Ctrl-C, Ctrl-Break and close) removes before the
// program ends, so that an interrupted batch leaves nothing behind. The
// program then ends as interrupted programs do there (on POSIX systems by
// the same signal, so that a shell loop around it stops too).
#pragma once

#include <cstddef>

// Installs the handlers (interrupts_posix.cpp, interrupts_windows.cpp).
void RemoveTemporariesOnSignals();

// Interrupts wait while a temporary file is made and held, so that none is
// ever made that one would leave behind.
void BlockInterrupts();
void UnblockInterrupts();

// Holds a temporary file for removal on an interrupt: false when more files
// are being written at once than there are slots. The file leaves them with
// ReleaseTemporary.
bool HoldTemporary(const char* path);
void ReleaseTemporary(const char* path);

// The program that reports an interrupt ("mcadec" unless told), set before
// the handlers can run.
void NoteProgramName(const char* name);

// Whether a progress line stands unfinished on standard error: an interrupt
// ends it with a newline, so that the shell's prompt starts on a line of its own.
void NoteProgressLine(bool open);

// The files of the run and those converted so far, which an interrupt reports
// ("interrupted after converting 3 of 10 files").
void NoteFilesInRun(size_t total);
void NoteFileConverted();

// For the platform's handler: removes every file held, through `remove`, and
// says how far the run came, through `say`; it takes no lock and allocates
// nothing.
void RemoveTemporariesAndSay(void (*remove)(const char* path), void (*say)(const char* text, size_t length));
