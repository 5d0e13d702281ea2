// mcadec.exe: mcadec's run behind the Windows entry point.
#include "mcadec/run.h"
#include "mcadec/windows_program.h"

int RunProgram(int argc, char** argv) { return RunMcadec(argc, argv); }

bool TakesValue(const std::wstring& word) {
  for (const wchar_t* option : {L"-o", L"--output", L"--format", L"-j", L"--jobs", L"--png-level", L"--resize",
                                L"--size-limit", L"--dimension-limit"}) {
    if (word == option) return true;
  }
  return false;
}
