#!/bin/sh
# The real gdk-pixbuf-thumbnailer on MCA pictures: gio must name the file
# image/x-mca from the MIME package (XDG_DATA_HOME, set by the test), and the
# thumbnailer must write a PNG of the requested size through our loader. A
# file of 85 bytes holding a 16000 x 44700 picture is thumbnailed at its size
# in a process that may not map 1 GB (the whole picture would take 2 GB).
# Arguments: the sample picture, the make_large tool.
set -eu
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$1" "$scratch/picture.mca"
type=$(gio info -a standard::content-type "$scratch/picture.mca" | sed -n 's/.*standard::content-type: //p')
if [ "$type" != image/x-mca ]; then
  echo "gio names the file '$type', not image/x-mca"
  exit 1
fi

# Width and height of a PNG, from its IHDR.
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'
}

check() {  # picture, size asked, expected thumbnail size
  gdk-pixbuf-thumbnailer -s "$2" "$1" "$scratch/thumbnail.png"
  signature=$(head -c 8 "$scratch/thumbnail.png" | od -An -tx1 | tr -d ' \n')
  if [ "$signature" != 89504e470d0a1a0a ]; then
    echo "the thumbnailer wrote no PNG for $1"
    exit 1
  fi
  size=$(png_size "$scratch/thumbnail.png")
  if [ "$size" != "$3" ]; then
    echo "the thumbnail of $1 is $size, not $3"
    exit 1
  fi
}

check "$scratch/picture.mca" 64 64x48
"$2" --sparse "$scratch/huge.mca" 16000 44700 >/dev/null
(ulimit -v 1000000 && check "$scratch/huge.mca" 256 92x256)
echo "gio names image/x-mca; the thumbnailer wrote PNGs of the sizes asked for"
