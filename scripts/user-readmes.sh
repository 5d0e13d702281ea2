#!/usr/bin/env bash
# Writes the user READMEs of the release zip and the installers into the
# folder named, for VERSION: README.txt (English) and README-ja.txt
# (Japanese), both with Windows line ends; the Japanese one in UTF-8 with a
# byte-order mark, which every Notepad since Windows XP reads as UTF-8.
set -euo pipefail
version=$1
out=$2
cd "$(dirname "$0")/.."
sed "s/@VERSION@/$version/; s/\$/\r/" package/README.txt > "$out/README.txt"
{ printf '\357\273\277'; sed "s/@VERSION@/$version/; s/\$/\r/" package/README-ja.txt; } > "$out/README-ja.txt"
