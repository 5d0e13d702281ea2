#!/bin/sh
# Runs a Windows program under Wine, quietly, in a prefix of its own.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-zuvrek}"
exec wine "$@"
