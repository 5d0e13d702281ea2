// What the Windows entry point (main_windows.cpp) runs: mcadec's or
// mcaenc's run, and the options whose value is the next word (a wildcard
// there is not expanded). Each program's own file defines them.
#pragma once

#include <string>

int RunProgram(int argc, char** argv);
bool TakesValue(const std::wstring& word);
