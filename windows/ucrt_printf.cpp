// The UCRT's printf entry points, defined over mingw-w64's own printf family
// for ARM64 programs (our test programs and mcadec.exe), ahead of the
// import: the same formatting as the x64 and x86 builds, whose mingw-w64
// printf is already its own, and programs that run under Debian's arm64
// Wine, whose ucrtbase is a Linux library that reads a Windows program's
// variadic arguments wrongly and crashes in the printf family.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cwchar>

extern "C" {
int __mingw_vfprintf(FILE* file, const char* format, va_list args);
int __mingw_vsnprintf(char* buffer, size_t count, const char* format, va_list args);
int __mingw_vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
int __mingw_vsscanf(const char* buffer, const char* format, va_list args);

// The options bit that asks for C99's snprintf: the length the whole text needs.
constexpr unsigned long long kStandardSnprintf = 2;

int __stdio_common_vfprintf(unsigned long long, FILE* file, const char* format, _locale_t, va_list args) {
  return __mingw_vfprintf(file, format, args);
}

int __stdio_common_vsprintf(unsigned long long options, char* buffer, size_t count, const char* format, _locale_t,
                            va_list args) {
  const int length = __mingw_vsnprintf(buffer, count, format, args);
  return (options & kStandardSnprintf) || !buffer || length < 0 || size_t(length) < count ? length : -1;
}

int __stdio_common_vswprintf(unsigned long long options, wchar_t* buffer, size_t count, const wchar_t* format,
                             _locale_t, va_list args) {
  const int length = __mingw_vsnwprintf(buffer, count, format, args);
  return (options & kStandardSnprintf) || !buffer || length < 0 || size_t(length) < count ? length : -1;
}

int __stdio_common_vsscanf(unsigned long long, const char* buffer, size_t, const char* format, _locale_t,
                           va_list args) {
  return __mingw_vsscanf(buffer, format, args);
}
}
