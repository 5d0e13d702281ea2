#!/usr/bin/env bash
# Builds the plug-ins and the WIC codecs and writes dist/zuvrek-VERSION.zip:
# zuvrek.spi, zuvrek.sph, zuvrek.spha (ARM64), the WIC codec's installers
# (zuvrek-VERSION-x64.msi, zuvrek-VERSION-x86.msi, zuvrek-VERSION-arm64.msi)
# and its DLLs (zuvrek-wic-x86.dll, zuvrek-wic-x64.dll,
# zuvrek-wic-arm64.dll), mca-viewer.html, the user README in English and in
# Japanese, and the licence; then the Python wheel
# and the Debian packages (scripts/make-debs.sh). The version is the
# project's, written once in mca/mca.h; the archive's entries carry a fixed date, so
# the same sources give the same zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows web arm64 wixl msitools faketime python3
cmake --preset web >/dev/null
cmake --build --preset web -j"$(nproc)" --target page >/dev/null
for preset in win32 win64 win-arm64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" --target zuvrek zuvrek-wic >/dev/null
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp build/win32/zuvrek.spi build/win64/zuvrek.sph build/win-arm64/zuvrek.spha "$stage/"
cp build/web/mca-viewer.html "$stage/"
cp build/win32/zuvrek-wic.dll "$stage/zuvrek-wic-x86.dll"
cp build/win64/zuvrek-wic.dll "$stage/zuvrek-wic-x64.dll"
cp build/win-arm64/zuvrek-wic-arm64.dll "$stage/"
scripts/user-readmes.sh "$version" "$stage"
cp LICENSE "$stage/LICENSE.txt"
scripts/make-msis.sh "$stage" "$version" >/dev/null
touch -d '2026-01-01 00:00:00 UTC' "$stage"/*
mkdir -p dist
zip="dist/zuvrek-$version.zip"
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -X -q "$OLDPWD/$zip" zuvrek.spi zuvrek.sph zuvrek.spha "zuvrek-$version-x64.msi" \
  "zuvrek-$version-x86.msi" "zuvrek-$version-arm64.msi" zuvrek-wic-x86.dll zuvrek-wic-x64.dll zuvrek-wic-arm64.dll \
  mca-viewer.html README.txt README-ja.txt LICENSE.txt)
echo "wrote $zip"
unzip -l "$zip"
# The Python wheel, built with Debian's Python and setuptools (no package index).
scripts/install-deps.sh python3-dev python3-setuptools python3-pip python3-wheel
/usr/bin/python3 -m pip wheel -q --no-build-isolation --no-deps -w dist ./python
echo "wrote $(ls dist/zuvrek-*.whl)"
scripts/make-debs.sh
