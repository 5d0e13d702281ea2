#!/bin/sh
# Runs a Windows on Arm program under Debian's arm64 Wine, quietly, inside the
# arm64 Debian root that scripts/windows-arm64-test.sh prepares (the project and
# /tmp are mounted there at their own paths, and arm64 programs run through
# qemu). "wine-arm64-run.sh wineserver ARGS" runs the root's wineserver.
root="$(cd "$(dirname "$0")/.." && pwd)/build/arm64-windows-tools/root"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIXARM64:-/root/.wine-zuvrek-arm64}"
program=/usr/lib/wine/wine64
if [ "$1" = wineserver ]; then
  program=/usr/lib/wine/wineserver
  shift
fi
exec chroot "$root" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "$PWD" "$program" "$@"
