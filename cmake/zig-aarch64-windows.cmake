# Cross-build for Windows on 64-bit Arm with zig's clang, mingw-w64 headers
# and libc++ (Debian has no aarch64 mingw C++ runtime); the version resources
# through Debian's llvm-windres. Programs run under Debian's arm64 Wine in an
# arm64 Debian root (scripts/windows-arm64-test.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-aarch64-windows-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-aarch64-windows-c++)
# mingw-w64's own printf family rather than the system's: Debian's arm64 Wine
# 8 reads the variadic arguments of its ucrtbase printf wrongly and crashes,
# and the tests run there. Unwind tables, so that a fault is reported as one.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1 -funwind-tables")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1 -funwind-tables")
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/zig-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${CMAKE_CURRENT_LIST_DIR}/zig-ranlib CACHE FILEPATH "")
set(CMAKE_RC_COMPILER llvm-windres-14)
set(CMAKE_RC_FLAGS_INIT "--target=aarch64-w64-mingw32 -I/usr/share/mingw-w64/include")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-arm64-run.sh)
