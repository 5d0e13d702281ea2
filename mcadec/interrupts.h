// Temporary files that SIGINT, SIGTERM or SIGHUP remove before the program
// ends (exit status 128 + the signal), so that an interrupted batch leaves
// nothing behind.
#pragma once

// Installs the handlers.
void RemoveTemporariesOnSignals();

// The file joins (and leaves) the ones removed on a signal; false when the
// table is full, and the file is then not protected.
bool ProtectTemporary(const char* path);
void ReleaseTemporary(const char* path);
