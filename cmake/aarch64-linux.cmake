# Cross-build for 64-bit Arm Linux with Debian's aarch64 compilers; programs
# run under qemu-aarch64 on Debian's arm64 libraries (multiarch: libc6,
# libstdc++6, libspng0). The cross compilers' own copy of the C library is a
# different build, and programs mixing the two hang at their first thread.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
# Arm64 libraries of the Debian multiarch set (libspng-dev:arm64) and
# architecture-independent headers (CLI11).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

