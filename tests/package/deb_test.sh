#!/usr/bin/env bash
# The Debian packages as a user gets them: every front end's (its `debs`,
# scripts/front-ends.sh) built, checked by lintian, installed with apt-get,
# then used: each front end's tests/installed_test.sh runs with the packages
# installed and again once they are purged, and nothing may be left behind.
# Installs into the system, so it runs as root on a throw-away machine (CI)
# and nowhere else.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "$(id -u)" -ne 0 ]; then
  echo "deb_test: skipped (installs into the system; run as root on a throw-away machine)"
  exit 0
fi
scripts/make-debs.sh
read -ra packages <<< "$(scripts/front-ends.sh debs | cut -f2 | tr ' ' '\n' | sed 's/:.*//' | tr '\n' ' ')"
debs=()
for package in "${packages[@]}"; do debs+=(dist/"$package"_*.deb); done
# Each front end's own test of what it installed: STATE WORK SAMPLE.
installed_tests() {
  for folder in $(scripts/front-ends.sh); do
    [ ! -x "$folder/tests/installed_test.sh" ] || "$folder/tests/installed_test.sh" "$1" "$work" "$sample" ||
      { echo "$folder, $1: failed"; exit 1; }
  done
}
lintian --fail-on error,warning "${debs[@]}" || { echo "lintian: errors or warnings"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sample="$work/picture.mca"
cp samples/sample.mca "$sample"
clean() { env -i PATH=/usr/bin:/bin HOME="$work" "$@"; }

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${debs[@]/#/./}" >/dev/null
files=$(dpkg -L "${packages[@]}" | while read -r f; do [ -f "$f" ] && echo "$f"; done)

installed_tests installed
# Double-clicking opens the picture: the installed viewers are offered for
# MCA pictures, one of them the default, with no setting of the user's; each
# one offered shows the picture; a viewer that is gone is not offered.
mime=$(clean gio mime image/x-mca)
echo "$mime" | grep -q 'Default application for .image/x-mca.: zuvrek-mca-' &&
  echo "$mime" | grep -qx '	zuvrek-mca-gpicview.desktop' &&
  echo "$mime" | grep -qx '	zuvrek-mca-gwenview.desktop' || { echo "gio mime says: $mime"; exit 1; }
tests/package/open_with_test.sh build/native/make_large
mv /usr/bin/gpicview /usr/bin/gpicview.away
! clean gio mime image/x-mca | grep -q 'zuvrek-mca-gpicview' || away=1
mv /usr/bin/gpicview.away /usr/bin/gpicview
[ -z "${away:-}" ] || { echo "a viewer that is not installed is offered"; exit 1; }
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 purge -y -qq "${packages[@]}" >/dev/null
for f in $files; do [ ! -e "$f" ] || { echo "left behind: $f"; exit 1; }; done
installed_tests purged
! clean gio mime image/x-mca | grep -q zuvrek-mca || { echo "a viewer is still offered for MCA pictures"; exit 1; }
echo "deb_test: ${packages[*]}: lintian-clean, installed, used, purged"
