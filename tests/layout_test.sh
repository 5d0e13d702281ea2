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
# Each front end as the scripts find it (scripts/front-ends.sh), with what its
# front_end.sh lets it include.
fronts=0
while IFS="$(printf '\t')" read -r folder includes; do
  for sources in $(scripts/front-ends.sh sources | sed -n "s|^$folder\t||p"); do
    check "$sources" "$includes"
  done
  fronts=$((fronts + 1))
done <<LIST
$(scripts/front-ends.sh includes)
LIST
# The folders built by zuvrek_front_end() are the ones the scripts find.
built=$(sed -n 's/^ *zuvrek_front_end(\([a-z0-9_]*\)).*/\1/p' CMakeLists.txt cmake/native.cmake cmake/windows.cmake | sort -u)
found=$(scripts/front-ends.sh | sort)
[ "$built" = "$found" ] || { echo "built as front ends: $built; found by the scripts: $found"; failed=1; }
echo "front ends found: $(scripts/front-ends.sh | tr '\n' ' ')($fronts)"
scripts/front-ends.sh tables check || failed=1
check tests/host "tests/support/"
check png "none"
check windows "mca/mca.h win32/"
# The live-object count depends on nothing of the codec: no loop with the objects.
if grep -h '#include "wic/' wic/live_objects.h wic/live_objects.cpp | grep -qv 'wic/live_objects.h'; then
  echo "wic/live_objects depends on the codec"
  failed=1
fi
# The map of the decoder in docs/developers.md names every file of mca/.
for file in mca/*; do
  name=${file#mca/}
  grep -q "^| [^|]*\`$name\`" docs/developers.md || { echo "docs/developers.md's map of mca/ lacks $name"; failed=1; }
done
[ $failed -eq 0 ] && echo "layout_test: front ends reach only their own folder, mca.h and the shared libraries"
exit $failed
