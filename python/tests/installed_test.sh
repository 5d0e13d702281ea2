#!/usr/bin/env bash
# python3-zuvrek as installed (tests/package/deb_test.sh): Debian's Python,
# with no environment set, opens the sample through the module and through
# Pillow's Image.open; the module was byte-compiled, and the purge takes its
# folder away.
#   installed_test.sh installed|purged WORK SAMPLE
set -euo pipefail
state=$1 work=$2 sample=$3
if [ "$state" = purged ]; then
  [ ! -e /usr/lib/python3/dist-packages/zuvrek ] || { echo "left behind: the zuvrek module's folder"; exit 1; }
  exit 0
fi
env -i PATH=/usr/bin:/bin HOME="$work" /usr/bin/python3 -c "
import zuvrek, zuvrek.pillow
from PIL import Image
with Image.open('$sample') as im:
    im.load()
    assert (im.format, im.size) == ('MCA', (160, 120)), (im.format, im.size)
assert zuvrek.probe(open('$sample', 'rb').read()).width == 160
" || { echo "python3-zuvrek does not open the sample"; exit 1; }
pycache=$(find /usr/lib/python3/dist-packages/zuvrek -name '*.pyc' | head -1)
[ -n "$pycache" ] || { echo "python3-zuvrek was not byte-compiled"; exit 1; }
