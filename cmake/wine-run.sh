#!/bin/sh
# Runs a 32-bit Windows program under Wine, quietly, in a 32-bit prefix of its own.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-zuvrek}"
exec wine "$@"
