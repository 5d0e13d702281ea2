#!/usr/bin/env bash
# Builds everything from nothing and runs every test: the native suite plain,
# under ASan/UBSan (64 and 32 bits), TSan and valgrind; a short run of each
# fuzz target (64 and 32 bits); the shipped DLLs under Wine through our host,
# 32-bit and 64-bit, and the ARM64 ones under arm64 Wine in an arm64 root
# (scripts/windows-arm64-test.sh); the native suite and mcadec built for
# 64-bit Arm, run under qemu-aarch64; the WebAssembly module against the native decoder under
# Node.js and mca-viewer.html in headless Chromium; the WIC codec's MSIs
# installed, upgraded and removed under Wine; the Debian packages installed and purged; and two clean
# builds of each DLL compared byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
for preset in native asan asan32 tsan fuzz fuzz32 win32 win64 win-arm64 aarch64 web; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs" >/dev/null
  if [ "$preset" = win-arm64 ]; then
    scripts/windows-arm64-test.sh
    continue
  fi
  ctest --preset "$preset" -j"$jobs"
  if [ "$preset" = native ]; then
    echo "== valgrind"
    valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
      build/native/native_tests --gtest_brief=1
  fi
done
echo "== memory: 85-byte files of huge pictures, and a large one filled, in the programs people open them with"
tests/memory_test.py . build/native build/web build/win64
echo "== Python: the sdist and the release wheel with the newest Pillow, the wheel offline in every CPython"
python/tests/dists_test.sh build/native
echo "== Qt: our plug-in in the Qts of PyQt5, PyQt6 and PySide6"
qt/tests/python_bindings_test.sh build/native
echo "== Windows installers"
wic/tests/msi_test.sh
echo "== Debian packages"
tests/package/deb_test.sh
echo "== from source, in a fresh Debian 12 root, as docs/linux.md says"
tests/package/from_source_test.sh build/native
echo "== reproducible builds"
scripts/check-reproducible.sh
