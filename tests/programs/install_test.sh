#!/bin/sh
# cmake --install into a scratch prefix puts the converter, the loader module,
# the MIME package and the thumbnailer entry where the system looks, and the
# installed converter runs.
set -eu
build=$1
sample=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/mcadec share/man/man1/mcadec.1 share/bash-completion/completions/mcadec \
         share/mime/packages/zuvrek-mca.xml share/thumbnailers/zuvrek-mca.thumbnailer \
         share/mime/mime.cache; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
loader=$(find "$prefix/lib" -name libpixbufloader-mca.so)
[ -n "$loader" ] || { echo "missing the loader module"; exit 1; }
case "$loader" in */gdk-pixbuf-2.0/*/loaders/libpixbufloader-mca.so) ;; *) echo "loader in $loader"; exit 1 ;; esac
"$prefix/bin/mcadec" -q -o "$prefix/sample.png" "$sample"
[ -s "$prefix/sample.png" ] || { echo "the installed mcadec wrote nothing"; exit 1; }
echo "installed: mcadec, ${loader#$prefix/}, the MIME package and the thumbnailer entry"
