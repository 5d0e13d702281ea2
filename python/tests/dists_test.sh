#!/usr/bin/env bash
# The Python packages as users get them. python/release_wheel.sh makes the
# sdist (`python -m build ./python`, carrying the decoder's sources) and the
# release's abi3 manylinux2014 wheel; then
# - the sdist, built by pip into a wheel, and the release wheel are each
#   installed into a plain venv beside the pinned newest Pillow and pytest,
#   where the pytest suite runs (Debian's Pillow is the native preset's ctest);
# - the release wheel is installed with no package index into a venv of every
#   CPython from 3.9 to 3.13 that pyenv has, and decodes the sample, whole and
#   scaled, from bytes, bytearray, memoryview and mmap, to mcadec's pixels.
# Every package fetched is pinned (requirements-newest.txt, constraints.txt).
#   python/tests/dists_test.sh BUILD   (BUILD: the native build, for mcadec and make_large)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: dists_test.sh NATIVE_BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/python/release_wheel.sh" "$work/dist" >/dev/null
sdist=$(ls "$work/dist"/zuvrek-*.tar.gz)
wheel=$(ls "$work/dist"/zuvrek-*.whl)
case $(basename "$wheel") in
  *-cp39-abi3-manylinux2014_*) ;;
  *) echo "the release wheel is $(basename "$wheel"), not one abi3 manylinux2014 wheel"; exit 1 ;;
esac
contents=$(tar -tzf "$sdist")
grep -q '/mca/decode.cpp$' <<< "$contents" || { echo "the sdist lacks the decoder's sources"; exit 1; }

export PIP_CONSTRAINT="$here/constraints.txt" PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1
for package in "$sdist" "$wheel"; do
  echo "-- $(basename "$package") with the newest Pillow"
  venv="$work/venv-$(basename "$package")"
  /usr/bin/python3 -m venv "$venv"
  "$venv/bin/pip" install -q -r "$here/requirements-newest.txt"
  "$venv/bin/pip" install -q "$package"
  # From a folder without the sources, so that the installed package is the one imported.
  (cd "$work" && ZUVREK_SOURCE="$root" ZUVREK_MCADEC="$build/mcadec" ZUVREK_MAKE_LARGE="$build/make_large" \
    PYTHONDONTWRITEBYTECODE=1 "$venv/bin/python" -m pytest -q -p no:cacheprovider --rootdir "$here" "$here")
done

"$build/mcadec" -q -f -o "$work/sample.ppm" "$root/samples/sample.mca"
"$build/mcadec" -q -f --resize 40x30 -o "$work/small.ppm" "$root/samples/sample.mca"
pythons=$(ls -d "$(pyenv root 2>/dev/null || echo "$HOME/.pyenv")"/versions/3.{9,10,11,12,13}.* 2>/dev/null || true)
[ -n "$pythons" ] || echo "-- no pyenv CPython 3.9 to 3.13 here: the offline installs are skipped"
for python in $pythons; do
  venv="$work/offline-$(basename "$python")"
  "$python/bin/python3" -m venv "$venv"
  PIP_NO_INDEX=1 "$venv/bin/pip" install -q "$wheel"
  (cd "$work" && "$venv/bin/python" - "$root/samples/sample.mca" sample.ppm small.ppm <<'PY'
import mmap, sys, zuvrek

def ppm(path):
    magic, width, height, _, pixels = open(path, "rb").read().split(maxsplit=4)
    return int(width), int(height), pixels

data = open(sys.argv[1], "rb").read()
whole, small = ppm(sys.argv[2]), ppm(sys.argv[3])
with open(sys.argv[1], "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as mapped:
    for source in (data, bytearray(data), memoryview(data), mapped):
        assert zuvrek.decode(source) == whole, type(source)
        assert zuvrek.decode(source, size=small[:2]) == small, type(source)
try:
    zuvrek.decode(data[:40])
    raise SystemExit("a cut file decoded")
except zuvrek.McaError as error:
    assert error.words
print(f"-- CPython {sys.version.split()[0]}: the wheel installed offline decodes as mcadec does")
PY
  )
done
