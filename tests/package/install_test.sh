#!/bin/sh
# cmake --install into a scratch prefix keeps everything under the prefix and
# the installed converter runs; the recipe of docs/linux.md for another prefix makes
# the thumbnailer and gio find the loader and the type there while the
# system's loaders stay in the cache; the uninstall target leaves nothing.
set -eu
build=$1
sample=$2
recipe=${3:-yes}  # no: a sanitized loader, which the system's programs cannot load
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/mcadec share/man/man1/mcadec.1 share/bash-completion/completions/mcadec \
         share/mime/packages/zuvrek-mca.xml share/thumbnailers/zuvrek-mca.thumbnailer \
         share/zuvrek/mca.magic share/mime/mime.cache share/applications/zuvrek-mca-eog.desktop; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
loader=$(find "$prefix/lib" -name libpixbufloader-mca.so)
case "$loader" in "$prefix"/*/gdk-pixbuf-2.0/*/loaders/libpixbufloader-mca.so) ;; *) echo "loader in '$loader'"; exit 1 ;; esac
"$prefix/bin/mcadec" -q -o "$prefix/sample.png" "$sample"
[ -s "$prefix/sample.png" ] || { echo "the installed mcadec wrote nothing"; exit 1; }

# docs/linux.md's recipe, as written, with PREFIX and the cache in the scratch folder.
[ "$recipe" = no ] || (
  unset GDK_PIXBUF_MODULE_FILE XDG_DATA_DIRS XDG_DATA_HOME
  loaders=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
  $(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0) "$loaders"/*.so \
      "$prefix/${loaders#/usr/}/libpixbufloader-mca.so" > "$prefix/mca-loaders.cache"
  export GDK_PIXBUF_MODULE_FILE="$prefix/mca-loaders.cache"
  export XDG_DATA_DIRS="$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
  grep -q '"image/gif"' "$GDK_PIXBUF_MODULE_FILE" || { echo "the recipe's cache lost the GIF loader"; exit 1; }
  cp "$sample" "$prefix/picture.mca"
  type=$(gio info -a standard::content-type "$prefix/picture.mca" | sed -n 's/.*standard::content-type: //p')
  [ "$type" = image/x-mca ] || { echo "with the recipe gio says '$type'"; exit 1; }
  gdk-pixbuf-thumbnailer -s 64 "$prefix/picture.mca" "$prefix/thumbnail.png"
  [ -s "$prefix/thumbnail.png" ] || { echo "with the recipe no thumbnail"; exit 1; }
  rm "$prefix/mca-loaders.cache" "$prefix/picture.mca" "$prefix/thumbnail.png"
)
rm "$prefix/sample.png"

cmake --build "$build" --target uninstall >/dev/null
left=$(find "$prefix" ! -type d)
[ -z "$left" ] || { echo "left after uninstall:"; echo "$left"; exit 1; }
echo "installed, used through the docs' recipe and uninstalled: mcadec, ${loader#$prefix/}, the MIME package, the thumbnailer entry"
