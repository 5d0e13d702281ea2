#!/usr/bin/env bash
# mcadec as installed from its package (tests/package/deb_test.sh):
#   installed_test.sh installed|purged WORK SAMPLE
set -euo pipefail
[ "$1" = installed ] || exit 0
env -i PATH=/usr/bin:/bin HOME="$2" mcadec -q -o "$2/picture.png" "$3"
