// mcadec and mcaenc on Windows: the command line's words from UTF-16 into
// UTF-8, and its wildcards expanded here, as Windows shells leave that to the
// program ("mcadec *.mca"); the console set for UTF-8 and the progress line.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "mcadec/windows_program.h"
#include "mcadec/utf16.h"

namespace {

// The files a pattern names, in its folder's spelling, sorted; the pattern
// itself when none matches, so that the program names it in its words.
std::vector<std::wstring> Expand(const std::wstring& pattern) {
  const size_t slash = pattern.find_last_of(L"/\\:");
  const std::wstring folder = slash == std::wstring::npos ? L"" : pattern.substr(0, slash + 1);
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(folder + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  if (names.empty()) return {pattern};
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_LESS_THAN;
  });
  return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  DWORD mode;
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (GetConsoleMode(error, &mode)) SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  // Pictures go through standard input and output byte for byte.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> words;
  bool options = true;
  for (int i = 0; i < argc; ++i) {
    const std::wstring word = argv[i];
    const bool value = i > 1 && options && TakesValue(argv[i - 1]);
    if (word == L"--") options = false;
    const bool pattern = i > 0 && !value && word.find_first_of(L"*?") != std::wstring::npos &&
                         (!options || word[0] != L'-');
    for (const std::wstring& name : pattern ? Expand(word) : std::vector<std::wstring>{word}) {
      words.push_back(Utf8(name));
    }
  }
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return RunProgram(int(words.size()), pointers.data());
}
