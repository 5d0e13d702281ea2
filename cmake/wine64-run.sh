#!/bin/sh
# Runs a 64-bit Windows program under wine64, quietly, in a 64-bit prefix of its own.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
export WINEPREFIX="${WINEPREFIX64:-${HOME:-/tmp}/.wine-zuvrek64}"
exec /usr/lib/wine/wine64 "$@"
