// Temporary files that SIGINT, SIGTERM or SIGHUP remove before the program
// ends, so that an interrupted batch leaves nothing behind. The program then
// dies by the same signal, as shell tools do, so that a shell loop around it
// stops too.
#pragma once

#include <cstddef>

// Installs the handlers.
void RemoveTemporariesOnSignals();

// Creates a temporary file from a mkstemp pattern (rewritten in place) and
// has it removed on a signal; the signals wait meanwhile, so that no file is
// made that a signal would leave behind. The descriptor, or -1 with errno set.
int CreateTemporary(char* pattern);
// The file leaves the ones removed on a signal.
void ReleaseTemporary(const char* path);

// Whether a progress line stands unfinished on standard error: a signal ends
// it with a newline, so that the shell's prompt starts on a line of its own.
void NoteProgressLine(bool open);

// The files of the run and those converted so far, which a signal reports
// ("interrupted after converting 3 of 10 files").
void NoteFilesInRun(size_t total);
void NoteFileConverted();
