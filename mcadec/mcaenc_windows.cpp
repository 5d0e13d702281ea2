// mcaenc.exe: mcaenc's run behind the Windows entry point.
#include "mcadec/mcaenc_run.h"
#include "mcadec/windows_program.h"

int RunProgram(int argc, char** argv) { return RunMcaenc(argc, argv); }

bool TakesValue(const std::wstring& word) {
  for (const wchar_t* option : {L"-o", L"--output", L"--like", L"--depth", L"--level", L"--band-height",
                                L"--background", L"-j", L"--jobs", L"--size-limit", L"--dimension-limit"}) {
    if (word == option) return true;
  }
  return false;
}
