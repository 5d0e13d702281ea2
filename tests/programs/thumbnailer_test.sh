#!/bin/sh
# The real gdk-pixbuf-thumbnailer on an MCA picture: gio must name the file
# image/x-mca from the MIME package (XDG_DATA_HOME, set by the test), and the
# thumbnailer must write a PNG of the requested size through our loader.
set -eu
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$1" "$scratch/picture.mca"
type=$(gio info -a standard::content-type "$scratch/picture.mca" | sed -n 's/.*standard::content-type: //p')
if [ "$type" != image/x-mca ]; then
  echo "gio names the file '$type', not image/x-mca"
  exit 1
fi
gdk-pixbuf-thumbnailer -s 64 "$scratch/picture.mca" "$scratch/thumbnail.png"
signature=$(head -c 8 "$scratch/thumbnail.png" | od -An -tx1 | tr -d ' \n')
if [ "$signature" != 89504e470d0a1a0a ]; then
  echo "the thumbnailer wrote no PNG"
  exit 1
fi
echo "gio names image/x-mca; the thumbnailer wrote a PNG"
