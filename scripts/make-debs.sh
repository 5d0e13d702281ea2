#!/usr/bin/env bash
# Builds the Debian packages into dist/: mcadec (the converter, its man page
# and bash completion), gdk-pixbuf-loader-mca (the loader module, the MIME
# package, the thumbnailer entry, the viewers' desktop entries, the magic
# entry), python3-zuvrek (the Python module and Pillow plug-in), and
# qt5-image-formats-plugin-mca and qt6-image-formats-plugin-mca (the Qt image
# plug-in in each Qt's plugins/imageformats). Compiled with Debian's
# hardening flags and installed staged under /usr; Depends come from
# dpkg-shlibdeps, and the loaders cache and MIME database are refreshed by the
# triggers of gdk-pixbuf and shared-mime-info, so no maintainer scripts.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh programs dpkg-dev python3-dev python3-setuptools qtbase5-dev qt6-base-dev
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

# dpkg-shlibdeps reads a source package's control file.
mkdir -p "$stage/src/debian"
printf 'Source: zuvrek\n' > "$stage/src/debian/control"
for package in mcadec gdk-pixbuf-loader-mca python3-zuvrek qt5-image-formats-plugin-mca qt6-image-formats-plugin-mca; do
  printf '\nPackage: %s\nArchitecture: any\n' "$package" >> "$stage/src/debian/control"
done

# The Python module for Debian's Python: built by setuptools, laid out where
# Debian's python3 finds modules.
python=$(/usr/bin/python3 -c 'import sys; print(f"{sys.version_info[0]}.{sys.version_info[1]}")')
(cd python && /usr/bin/python3 setup.py -q build --build-base "$stage/python-build" --build-lib "$stage/python-lib" \
  2>/dev/null >/dev/null)
python_tree="$stage/src/debian/python3-zuvrek/usr/lib/python3/dist-packages"
mkdir -p "$python_tree"
cp -r "$stage/python-lib/zuvrek" "$python_tree/"

for pair in mcadec:mcadec gdk-pixbuf-loader-mca:loader python3-zuvrek: qt5-image-formats-plugin-mca:qt5 \
            qt6-image-formats-plugin-mca:qt6; do
  package=${pair%%:*}
  tree="$stage/src/debian/$package"
  [ -z "${pair#*:}" ] || DESTDIR="$tree" cmake --install "$build" --component "${pair#*:}" >/dev/null
  find "$tree/usr/share/man" -type f -exec gzip -9n {} + 2>/dev/null || true
  doc="$tree/usr/share/doc/$package"
  mkdir -p "$doc" "$tree/DEBIAN"
  cp package/deb/copyright "$doc/copyright"
  if [ -f "package/deb/$package.lintian-overrides" ]; then
    mkdir -p "$tree/usr/share/lintian/overrides"
    cp "package/deb/$package.lintian-overrides" "$tree/usr/share/lintian/overrides/$package"
  fi
  printf '%s (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
    "$package" "$version" "$version" "$maintainer" "$(date -u -R -d "@$SOURCE_DATE_EPOCH")" \
    | gzip -9n > "$doc/changelog.gz"
  objects=$(cd "$stage/src" && find "debian/$package/usr" -type f \( -name '*.so' -o -perm -u+x \) -print)
  # dpkg-shlibdeps warns wrongly that a loadable module without a SONAME is
  # not in its package's folder (it loses the file's name); that line is dropped.
  depends=$(cd "$stage/src" && dpkg-shlibdeps -O -e $objects 2>"$stage/warnings" | sed -n 's/^shlibs:Depends=//p')
  grep -v "binaries to analyze should already be installed" "$stage/warnings" >&2 || true
  # Stripped as Debian's own builds are (after dpkg-shlibdeps, which reads the symbols).
  (cd "$stage/src" && strip --strip-unneeded --remove-section=.comment $objects)
  [ "$package" = gdk-pixbuf-loader-mca ] && depends="$depends, shared-mime-info"
  [ "$package" = python3-zuvrek ] && depends="python3 (>= $python~), python3 (<< ${python%.*}.$((${python#*.} + 1))), $depends"
  for script in postinst prerm; do
    [ ! -f "package/deb/$package.$script" ] || install -m 755 "package/deb/$package.$script" "$tree/DEBIAN/$script"
  done
  {
    sed -n '/^Description:/q;p' "package/deb/$package.control"
    echo "Version: $version"
    echo "Architecture: $arch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$tree" | cut -f1)"
    echo "Depends: $depends"
    sed -n '/^Description:/,$p' "package/deb/$package.control"
  } > "$tree/DEBIAN/control"
  (cd "$tree" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$tree/DEBIAN/md5sums"
  find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  chmod -R u+rwX,go+rX,go-w "$tree"
  dpkg-deb --root-owner-group -Zxz --build "$tree" "dist/${package}_${version}_${arch}.deb" >/dev/null
  echo "wrote dist/${package}_${version}_${arch}.deb"
done
