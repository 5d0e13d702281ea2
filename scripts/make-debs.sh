#!/usr/bin/env bash
# Builds the Debian packages of every front end into dist/: each package a
# front end's `debs` names (scripts/front-ends.sh), described by its
# FOLDER/deb/PACKAGE.control, filled by `cmake --install` of its component
# or by FOLDER/deb/PACKAGE.stage, with FOLDER/deb/PACKAGE.lintian-overrides,
# .postinst and .prerm where they exist. Compiled with Debian's hardening
# flags and installed staged under /usr; Depends are the control file's and
# dpkg-shlibdeps', and the loaders cache and MIME database are refreshed by
# the triggers of gdk-pixbuf and shared-mime-info.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh programs dpkg-dev
build=build/deb
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUVREK_TESTS=OFF -DZUVREK_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
maintainer="The zuvrek developers <zuvrek@users.noreply.codeberg.org>"
# Dates from the last commit, so the same sources give the same packages.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p dist

# Each package as FOLDER:PACKAGE:COMPONENT.
packages=$(scripts/front-ends.sh debs | while IFS="$(printf '\t')" read -r folder debs; do
  for deb in $debs; do echo "$folder:$deb"; done
done)
# dpkg-shlibdeps reads a source package's control file.
mkdir -p "$stage/src/debian"
printf 'Source: zuvrek\n' > "$stage/src/debian/control"
for entry in $packages; do
  entry=${entry#*:}
  printf '\nPackage: %s\nArchitecture: any\n' "${entry%%:*}" >> "$stage/src/debian/control"
done

for entry in $packages; do
  folder=${entry%%:*} entry=${entry#*:}
  package=${entry%%:*} component=${entry#*:}
  tree="$stage/src/debian/$package"
  control="$folder/deb/$package.control"
  depends=$(sed -n 's/^Depends: //p' "$control")
  mkdir -p "$tree"
  if [ -x "$folder/deb/$package.stage" ]; then
    staged=$("$folder/deb/$package.stage" "$tree" "$stage")
    depends="$staged${depends:+, $depends}"
  else
    DESTDIR="$tree" cmake --install "$build" --component "$component" >/dev/null
  fi
  find "$tree/usr/share/man" -type f -exec gzip -9n {} + 2>/dev/null || true
  doc="$tree/usr/share/doc/$package"
  mkdir -p "$doc" "$tree/DEBIAN"
  cp package/deb/copyright "$doc/copyright"
  if [ -f "$folder/deb/$package.lintian-overrides" ]; then
    mkdir -p "$tree/usr/share/lintian/overrides"
    cp "$folder/deb/$package.lintian-overrides" "$tree/usr/share/lintian/overrides/$package"
  fi
  printf '%s (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
    "$package" "$version" "$version" "$maintainer" "$(date -u -R -d "@$SOURCE_DATE_EPOCH")" \
    | gzip -9n > "$doc/changelog.gz"
  objects=$(cd "$stage/src" && find "debian/$package/usr" -type f \( -name '*.so' -o -perm -u+x \) -print)
  # dpkg-shlibdeps warns wrongly that a loadable module without a SONAME is
  # not in its package's folder (it loses the file's name); that line is dropped.
  shlibs=$(cd "$stage/src" && dpkg-shlibdeps -O -e $objects 2>"$stage/warnings" | sed -n 's/^shlibs:Depends=//p')
  depends="${depends:+$depends, }$shlibs"
  grep -v "binaries to analyze should already be installed" "$stage/warnings" >&2 || true
  # Stripped as Debian's own builds are (after dpkg-shlibdeps, which reads the symbols).
  (cd "$stage/src" && strip --strip-unneeded --remove-section=.comment $objects)
  for script in postinst prerm; do
    [ ! -f "$folder/deb/$package.$script" ] || install -m 755 "$folder/deb/$package.$script" "$tree/DEBIAN/$script"
  done
  {
    sed -n '/^Description:/q;/^Depends:/d;p' "$control"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$tree" | cut -f1)"
    echo "Depends: $depends"
    sed -n '/^Description:/,$p' "$control"
  } > "$tree/DEBIAN/control"
  (cd "$tree" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$tree/DEBIAN/md5sums"
  find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  chmod -R u+rwX,go+rX,go-w "$tree"
  dpkg-deb --root-owner-group -Zxz --build "$tree" "dist/${package}_${version}_${arch}.deb" >/dev/null
  echo "wrote dist/${package}_${version}_${arch}.deb"
done
