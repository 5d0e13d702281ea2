#!/usr/bin/env bash
# Writes dist/zuvrek-VERSION.zip: what each front end's `release` names
# (scripts/front-ends.sh: PRESET:TARGET:FILE[:NAME], built here), what its
# `release_step` writes (the WIC codec's installers), the user README in
# English and in Japanese, and the licence; then what each front end's
# `dist_step` writes beside it (the Python sdist and wheel) and the Debian
# packages (scripts/make-debs.sh). The version is the project's,
# written once in mca/mca.h; the archive's entries carry a fixed date, so the
# same sources give the same zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows web arm64 python3
files=$(scripts/front-ends.sh release | cut -f2 | tr ' ' '\n' | sed '/^$/d')
for preset in $(printf '%s\n' "$files" | cut -d: -f1 | sort -u); do
  targets=$(printf '%s\n' "$files" | awk -F: -v p="$preset" '$1 == p { print $2 }' | sort -u)
  cmake --preset "$preset" >/dev/null
  # shellcheck disable=SC2086
  cmake --build --preset "$preset" -j"$(nproc)" --target $targets >/dev/null
done
version=$(sed -n 's/^#define MCA_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' mca/mca.h | paste -sd.)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
names=()
for entry in $files; do
  IFS=: read -r preset _ file name <<< "$entry"
  mkdir -p "$(dirname "$stage/${name:-$file}")"
  cp "build/$preset/$file" "$stage/${name:-$file}"
  names+=("${name:-$file}")
done
scripts/user-readmes.sh "$version" "$stage"
cp LICENSE "$stage/LICENSE.txt"
for step in $(scripts/front-ends.sh release_step | cut -f2); do
  before=$(ls "$stage")
  "$step" "$stage" "$version" >/dev/null
  while read -r made; do names+=("$made"); done < <(comm -13 <(echo "$before") <(ls "$stage"))
done
names+=(README.txt README-ja.txt LICENSE.txt)
find "$stage" -exec touch -d '2026-01-01 00:00:00 UTC' {} +
mkdir -p dist
zip="dist/zuvrek-$version.zip"
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -X -q "$OLDPWD/$zip" "${names[@]}")
echo "wrote $zip"
unzip -l "$zip"
for step in $(scripts/front-ends.sh dist_step | cut -f2); do
  "$step" dist
done
scripts/make-debs.sh
