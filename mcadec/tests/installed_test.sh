#!/usr/bin/env bash
# mcadec as installed from its package (tests/package/deb_test.sh):
#   installed_test.sh installed|purged WORK SAMPLE
set -euo pipefail
[ "$1" = installed ] || exit 0
env -i PATH=/usr/bin:/bin HOME="$2" mcadec -q -o "$2/picture.png" "$3"
# mcaenc puts it back: the same pixels, after the original.
env -i PATH=/usr/bin:/bin HOME="$2" mcaenc -q --like "$3" -o "$2/again.mca" "$2/picture.png"
env -i PATH=/usr/bin:/bin HOME="$2" mcadec -q -o "$2/again.png" "$2/again.mca"
cmp "$2/picture.png" "$2/again.png"
[ -f /usr/share/man/man1/mcaenc.1.gz ] && [ -f /usr/share/bash-completion/completions/mcaenc ]
