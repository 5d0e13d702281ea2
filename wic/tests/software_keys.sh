#!/bin/sh
# HKLM\Software of a Wine prefix as text, without what the system keeps for
# itself and writes on its own time: the empty keys of Windows Installer's
# bookkeeping (Windows always has them) and the machine's network cards
# (Wine lists them when a program first asks, sometimes only after the
# "before" snapshot). Fails when the export wrote nothing.
# Arguments: the Wine runner, a scratch file for the export, the text to write.
set -eu
"$1" reg export 'HKLM\Software' "$2" /y >/dev/null 2>&1 || true
iconv -f UTF-16LE -t UTF-8 "$2" | tr -d '\r' |
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       !/^\[[^]]*\\Installer(\\[^]]*)?\]$/ && !/^\[[^]]*\\CurrentVersion\\NetworkCards(\\[^]]*)?\]/' > "$3"
grep -q Classes "$3" || { echo "reg export wrote nothing"; exit 1; }
