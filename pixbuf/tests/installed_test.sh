#!/usr/bin/env bash
# The loader as installed from its package (tests/package/deb_test.sh), used
# by the system's own programs with no environment set: the triggers must
# have refreshed the loaders cache and the MIME database; after the purge
# neither knows MCA any more.
#   installed_test.sh installed|purged WORK SAMPLE
set -euo pipefail
state=$1 work=$2 sample=$3
clean() { env -i PATH=/usr/bin:/bin HOME="$work" "$@"; }
type=$(clean gio info -a standard::content-type "$sample" | sed -n 's/.*standard::content-type: //p')
if [ "$state" = purged ]; then
  moduledir=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
  ! grep -q pixbufloader-mca "$moduledir/../loaders.cache" || { echo "loaders cache still lists the loader"; exit 1; }
  [ "$type" != image/x-mca ] || { echo "MIME database still knows image/x-mca"; exit 1; }
  exit 0
fi
clean gdk-pixbuf-thumbnailer -s 128 "$sample" "$work/thumb.png"
file -b --mime-type "$work/thumb.png" | grep -qx image/png || { echo "no thumbnail"; exit 1; }
[ "$type" = image/x-mca ] || { echo "gio info says '$type'"; exit 1; }
# libmagic has no folder for packages' entries: docs/linux.md's lines for users,
# to add the entry and to remove it again.
cp /etc/magic "$work/magic"
trap 'cp "$work/magic" /etc/magic' EXIT
sh -c 'cat /usr/share/zuvrek/mca.magic >> /etc/magic'
type=$(clean file -b --mime-type "$sample")
sed -i '/^# zuvrek: MCA pictures/,/^# zuvrek: end$/d' /etc/magic
cmp -s "$work/magic" /etc/magic || { echo "the documented removal left /etc/magic changed"; exit 1; }
[ "$type" = image/x-mca ] || { echo "file says '$type'"; exit 1; }
