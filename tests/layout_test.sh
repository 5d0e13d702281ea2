#!/bin/sh
# Front ends share libraries, never each other's insides: each front end's
# sources include its own folder, the decoder's public API (mca/mca.h) and the
# shared libraries alone, and the libraries include no front end.
# Argument: the source folder.
set -eu
cd "$1"
failed=0
# folder: what it may include besides itself
check() {
  folder=$1
  allowed=$2
  for file in "$folder"/*.cpp "$folder"/*.h; do
    [ -e "$file" ] || continue
    for included in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
      case "$included" in "$folder"/*) continue ;; esac
      ok=no
      for prefix in $allowed; do
        case "$included" in "$prefix"*) ok=yes ;; esac
      done
      [ $ok = yes ] || { echo "$file includes $included"; failed=1; }
    done
  done
}
check plugin "mca/mca.h windows/"
check wic "mca/mca.h windows/"
check tests/host "none"
check mcadec "mca/mca.h png/"
check pixbuf "mca/mca.h"
check web "mca/mca.h png/"
check qt "mca/mca.h"
check python/src "mca/mca.h"
check png "mca/mca.h"
check windows "mca/mca.h win32/"
# The live-object count depends on nothing of the codec: no loop with the objects.
if grep -h '#include "wic/' wic/live_objects.h wic/live_objects.cpp | grep -qv 'wic/live_objects.h'; then
  echo "wic/live_objects depends on the codec"
  failed=1
fi
[ $failed -eq 0 ] && echo "layout_test: front ends reach only their own folder, mca.h and the shared libraries"
exit $failed
