#!/usr/bin/env bash
# The front ends, as the scripts find them: every folder holding a
# front_end.sh, in the order of its rank. A front_end.sh sets, as shell
# variables:
#   rank      its place in the tables
#   summary   its row in docs/developers.md's table of folders
#   includes  what its sources may include besides their own folder
#   sources   the folders of its sources (default: the front end's own)
#   readme    its rows in README.md's table of where people look at pictures
#   release   what it puts in the release zip: PRESET:TARGET:FILE[:NAME] ...
#   release_step  a script that writes more into the zip's folder (FOLDER VERSION)
#   dist_step a script that writes its own release files beside the zip (into dist/)
#   debs      its Debian packages, PACKAGE:COMPONENT ... (the cmake --install
#             component; none when deb/PACKAGE.stage fills the package), each
#             described by deb/PACKAGE.control
#   packages_programs, packages_windows, packages_tests
#             the Debian packages it needs, for scripts/install-deps.sh
# Files the scripts find in a front end's folder besides: tests/memory_rows.py
# (its rows in tests/memory_test.py), tests/installed_test.sh (its part of
# tests/package/deb_test.sh, run once its packages are installed).
#
#   scripts/front-ends.sh                 the folders, one a line
#   scripts/front-ends.sh FIELD           "FOLDER<TAB>VALUE" for each
#   scripts/front-ends.sh tables [check]  writes (or checks) the tables of the
#                                         README and docs/developers.md
set -euo pipefail
cd "$(dirname "$0")/.."

field() {
  (
    rank=99 summary='' includes='mca/mca.h' sources='' readme='' release='' release_step='' dist_step='' debs=''
    packages_programs='' packages_windows='' packages_tests=''
    # shellcheck disable=SC1090
    . "$1/front_end.sh"
    [ -n "$sources" ] || sources=$1
    eval "printf '%s' \"\$$2\""
  )
}

folders() {
  for manifest in */front_end.sh; do
    folder=${manifest%/front_end.sh}
    printf '%s\t%s\n' "$(field "$folder" rank)" "$folder"
  done | sort -n | cut -f2
}

# Rewrites the lines between "<!-- front ends: NAME -->" and
# "<!-- front ends: end -->" in FILE with stdin; with `check`, says whether
# they are already so.
region() {
  local file=$1 name=$2 mode=$3 body new
  body=$(cat)
  grep -qx "<!-- front ends: $name -->" "$file" || { echo "$file has no place for the $name table"; return 1; }
  new=$(BODY=$body awk -v name="<!-- front ends: $name -->" '
    $0 == name { print; print ENVIRON["BODY"]; skip = 1; next }
    skip && $0 == "<!-- front ends: end -->" { skip = 0 }
    !skip { print }' "$file")
  if [ "$mode" = check ]; then
    [ "$new" = "$(cat "$file")" ] || { echo "$file: the $name table is not the front ends' (scripts/front-ends.sh tables)"; return 1; }
  else
    printf '%s\n' "$new" > "$file"
  fi
}

case ${1:-} in
  '') folders ;;
  tables)
    mode=${2:-write}
    status=0
    { echo '| where | what to install | how |'; echo '|---|---|---|'
      for f in $(folders); do field "$f" readme; echo; done | sed '/^$/d'; } | region README.md readme "$mode" || status=1
    { echo '| folder | what it holds |'; echo '|---|---|'
      for f in $(folders); do printf '| `%s/` | %s |\n' "$f" "$(field "$f" summary)"; done; } |
      region docs/developers.md folders "$mode" || status=1
    exit $status ;;
  *) for f in $(folders); do printf '%s\t%s\n' "$f" "$(field "$f" "$1")"; done ;;
esac
