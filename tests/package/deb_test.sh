#!/usr/bin/env bash
# The Debian packages as a user gets them: built, checked by lintian,
# installed with apt-get, then used by the system's own programs with no
# environment set (the triggers must have refreshed the loaders cache and the
# MIME database), then purged, leaving nothing behind. Installs into the
# system, so it runs as root on a throw-away machine (CI) and nowhere else.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "$(id -u)" -ne 0 ]; then
  echo "deb_test: skipped (installs into the system; run as root on a throw-away machine)"
  exit 0
fi
scripts/make-debs.sh
debs=(dist/mcadec_*.deb dist/gdk-pixbuf-loader-mca_*.deb dist/python3-zuvrek_*.deb
      dist/qt5-image-formats-plugin-mca_*.deb dist/qt6-image-formats-plugin-mca_*.deb)
packages=(mcadec gdk-pixbuf-loader-mca python3-zuvrek qt5-image-formats-plugin-mca qt6-image-formats-plugin-mca)
lintian --fail-on error,warning "${debs[@]}" || { echo "lintian: errors or warnings"; exit 1; }

work=$(mktemp -d)
magic_backup="$work/magic"
cp /etc/magic "$magic_backup"
cleanup() { cp "$magic_backup" /etc/magic; rm -rf "$work"; }
trap cleanup EXIT
sample="$work/picture.mca"
cp samples/sample.mca "$sample"
clean() { env -i PATH=/usr/bin:/bin HOME="$work" "$@"; }

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${debs[@]/#/./}" >/dev/null
files=$(dpkg -L "${packages[@]}" | while read -r f; do [ -f "$f" ] && echo "$f"; done)

clean mcadec -q -o "$work/picture.png" "$sample"
clean gdk-pixbuf-thumbnailer -s 128 "$sample" "$work/thumb.png"
file -b --mime-type "$work/thumb.png" | grep -qx image/png || { echo "no thumbnail"; exit 1; }
type=$(clean gio info -a standard::content-type "$sample" | sed -n 's/.*standard::content-type: //p')
[ "$type" = image/x-mca ] || { echo "gio info says '$type'"; exit 1; }
# Debian's Python, with no environment set: the module and Pillow's Image.open.
clean /usr/bin/python3 -c "
import zuvrek, zuvrek.pillow
from PIL import Image
with Image.open('$sample') as im:
    im.load()
    assert (im.format, im.size) == ('MCA', (160, 120)), (im.format, im.size)
assert zuvrek.probe(open('$sample', 'rb').read()).width == 160
" || { echo "python3-zuvrek does not open the sample"; exit 1; }
pycache=$(find /usr/lib/python3/dist-packages/zuvrek -name '*.pyc' | head -1)
[ -n "$pycache" ] || { echo "python3-zuvrek was not byte-compiled"; exit 1; }
# Each Qt finds the installed plug-in in its own plugins folder: the Qt tests
# of the native build, with no QT_PLUGIN_PATH, read the folder of pictures.
for qt in 5 6; do
  if [ -x "build/native/qt${qt}_tests" ]; then
    clean "build/native/qt${qt}_tests" --gtest_brief=1 \
      --gtest_filter='QtPlugin.FoundByQt*:QtPlugin.ReadsTheFolder*' >/dev/null ||
      { echo "Qt $qt does not read MCA pictures through the installed plug-in"; exit 1; }
  fi
done
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
# libmagic has no folder for packages' entries: docs/linux.md's lines for users,
# to add the entry and to remove it again.
sh -c 'cat /usr/share/zuvrek/mca.magic >> /etc/magic'
type=$(clean file -b --mime-type "$sample")
[ "$type" = image/x-mca ] || { echo "file says '$type'"; exit 1; }
sed -i '/^# zuvrek: MCA pictures/,/^# zuvrek: end$/d' /etc/magic
cmp -s "$magic_backup" /etc/magic || { echo "the documented removal left /etc/magic changed"; exit 1; }

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 purge -y -qq "${packages[@]}" >/dev/null
for f in $files; do [ ! -e "$f" ] || { echo "left behind: $f"; exit 1; }; done
[ ! -e /usr/lib/python3/dist-packages/zuvrek ] || { echo "left behind: the zuvrek module's folder"; exit 1; }
moduledir=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
! grep -q pixbufloader-mca "$moduledir/../loaders.cache" || { echo "loaders cache still lists the loader"; exit 1; }
type=$(clean gio info -a standard::content-type "$sample" | sed -n 's/.*standard::content-type: //p')
[ "$type" != image/x-mca ] || { echo "MIME database still knows image/x-mca"; exit 1; }
! clean gio mime image/x-mca | grep -q zuvrek-mca || { echo "a viewer is still offered for MCA pictures"; exit 1; }
echo "deb_test: packages lintian-clean, installed, used by the thumbnailer, gio, file, Open with, Python and Qt, purged"
