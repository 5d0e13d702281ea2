#!/bin/sh
# mcaenc run for real: pictures of every kind ImageMagick writes (PNG grey,
# palette, RGB, 16-bit, interlaced, opaque alpha; BMP 8, 24 and 32 bits;
# PPM and PGM, 8 and 16 bits) written as MCA and read back by mcadec to the
# pixels ImageMagick reads from them; transparency refused or flattened; a
# template kept; and mcadec's promises (no input replaced, no file replaced
# without --force, a batch past a bad file, nothing left after Ctrl-C).
# Arguments: mcaenc, mcadec, an MCA picture.
set -eu
mcaenc=$1
mcadec=$2
sample=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
"$mcadec" -q -o s.ppm "$sample"

# Pixels as ImageMagick reads them, and as mcadec reads our MCA.
magick_pixels() { convert "$1" -depth 8 rgb:-; }
our_pixels() { "$mcadec" -q -f --format ppm -o - "$1" | tail -c "$(magick_pixels "$2" | wc -c)"; }

# name | ImageMagick's arguments, the last joined to the name (PNG24:NAME) | mcaenc's options |
# the depth mcadec --info must say
while IFS='|' read -r name make options depth; do
  eval "convert s.ppm $make$name"
  # shellcheck disable=SC2086  # the options are words
  if ! "$mcaenc" -q $options -o "$name.mca" "$name" 2>err; then
    fail "$name: $(cat err)"
    continue
  fi
  [ "$(our_pixels "$name.mca" "$name" | md5sum)" = "$(magick_pixels "$name" | md5sum)" ] ||
    fail "$name: other pixels"
  "$mcadec" --info "$name.mca" | grep -q "$depth" || fail "$name: not $depth"
done <<'EOF'
rgb.png|PNG24:||24-bit
grey.png|-colorspace Gray -type Grayscale |--level 2|8-bit
palette.png|-colors 200 PNG8:|--level 0|8-bit
palette-24.png|-colors 200 PNG8:|--depth 24|24-bit
rgb16.png|-depth 16 PNG48:||24-bit
grey16.png|-colorspace Gray -depth 8 -depth 16 |--band-height 7|8-bit
rle.bmp|-colors 16 -type Palette -compress RLE BMP3:||8-bit
interlaced.png|-interlace PNG PNG24:||24-bit
opaque-alpha.png|-alpha set PNG32:||24-bit
rgb.bmp|BMP3:||24-bit
palette.bmp|-colors 100 -type Palette BMP3:||8-bit
alpha.bmp|-alpha set -define bmp:format=bmp4 BMP:||24-bit
rgb16.ppm|-depth 16 ||24-bit
grey.pgm|-colorspace Gray ||8-bit
EOF

# 16-bit samples rounded to the nearest 8-bit value: 0xBD91 is 188.83.
printf 'P5\n2 1\n65535\n\275\221\000\200' > round.pgm
convert round.pgm -depth 16 round.png
for round in round.pgm round.png; do
  "$mcaenc" -q -f -o round.mca "$round" &&
    [ "$("$mcadec" -q --format ppm -o - round.mca | tail -c 6 | od -An -tu1 | tr -s ' ')" = " 189 189 189 0 0 0" ] ||
    fail "$round: 16-bit samples are not rounded"
done

# Run-length BMP by hand: an odd absolute run (padded to 16 bits), a run, the
# ends of a row and of the picture.
printf '\102\115\124\000\000\000\000\000\000\000\106\000\000\000\050\000\000\000\004\000\000\000\002\000\000\000\001\000\010\000\001\000\000\000\016\000\000\000\000\000\000\000\000\000\000\000\004\000\000\000\000\000\000\000\000\000\000\000\377\000\000\000\000\377\000\000\000\000\377\000\000\003\001\002\003\000\001\000\000\000\004\002\000\001' > runs.bmp
"$mcaenc" -q runs.bmp && [ "$("$mcadec" -q --format ppm -o - runs.mca | tail -c 24 | od -An -tu1 -v | tr -s ' \n' ' ')" = \
  " 0 255 0 0 255 0 0 255 0 0 255 0 0 0 255 0 255 0 255 0 0 0 0 0 " ] || fail "a run-length BMP: other pixels"

# Transparent pixels: refused with words and no file, or put on a colour.
convert -size 5x4 xc:none PNG32:clear.png
convert -size 5x4 'xc:rgba(255,0,0,0.5)' PNG32:half.png
for picture in clear half; do
  if "$mcaenc" -q $picture.png 2>err || [ -e $picture.mca ] || ! grep -q "transparent pixels" err; then
    fail "$picture.png: a transparent picture was not refused"
  fi
done
for colour in white '#123456'; do
  "$mcaenc" -q -f --background "$colour" clear.png || fail "--background $colour"
  want=$(convert -size 5x4 "xc:$colour" -depth 8 rgb:- | md5sum)
  [ "$(our_pixels clear.mca clear.png | md5sum)" = "$want" ] || fail "--background $colour: other pixels"
done

# A template: its head kept, the picture exact; another size refused in words.
"$mcaenc" -q --like "$sample" -o like.mca rgb.png
[ "$(head -c 48 like.mca | md5sum)" = "$(head -c 48 "$sample" | md5sum)" ] || fail "--like: another head"
[ "$(our_pixels like.mca rgb.png | md5sum)" = "$(magick_pixels rgb.png | md5sum)" ] || fail "--like: other pixels"
convert s.ppm -resize 50% small.png
"$mcaenc" -q --like "$sample" small.png 2>err && fail "--like took another size"
grep -q "80 x 60 but its template is 160 x 120" err || fail "--like: $(cat err)"

# mcadec's promises.
cp rgb.png keep.png
"$mcaenc" -q -o keep.png keep.png 2>/dev/null && fail "an input was its own output"
cmp -s keep.png rgb.png || fail "an input was replaced"
echo old > taken.mca
"$mcaenc" -q -o taken.mca rgb.png 2>/dev/null && fail "a file was replaced without --force"
[ "$(cat taken.mca)" = old ] || fail "a file was replaced without --force"
"$mcaenc" -q -f -o taken.mca rgb.png && "$mcadec" --info taken.mca >/dev/null || fail "--force did not replace"
echo "not a picture" > bad.png
if "$mcaenc" -q -o out rgb.png bad.png palette.bmp 2>err; then fail "a bad file in a batch went unreported"; fi
[ -s out/rgb.mca ] && [ -s out/palette.mca ] && [ ! -e out/bad.mca ] || fail "the batch stopped at the bad file"
grep -q "^mcaenc: bad.png: not a PNG, BMP or PPM picture" err || fail "the bad file in words: $(cat err)"
"$mcaenc" -q -o both rgb.png rgb.bmp 2>err && fail "two inputs were written to one output"

# Ctrl-C while a large picture is written: nothing left, the shell told.
{ printf 'P6\n6000 6000\n255\n'; head -c 108000000 /dev/urandom; } > large.ppm
"$mcaenc" -q -j 1 large.ppm 2>err &
pid=$!
while [ ! -e large.mca ] && ! ls -A | grep -q '^\.mcadec-' && kill -0 $pid 2>/dev/null; do sleep 0.05; done
kill -INT $pid
status=0
wait $pid || status=$?
[ $status = 130 ] || fail "Ctrl-C: status $status"
[ ! -e large.mca ] && ! ls -A | grep -q '^\.mcadec-' || fail "Ctrl-C left a file"
grep -q "mcaenc: interrupted: nothing was written" err || fail "Ctrl-C: $(cat err)"
exit $failed
