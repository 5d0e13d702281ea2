#!/usr/bin/env bash
# Our Qt plug-in in the Qts that Python's Qt bindings bring (PyQt5, PyQt6,
# PySide6, pinned in python-bindings.txt), found as docs/python.md tells
# users: QT_PLUGIN_PATH naming a folder that holds only imageformats/ (the
# build's qt5 and qt6 folders are such). Each reads the sample through
# QImageReader to mcadec's pixels.
#   qt/tests/python_bindings_test.sh NATIVE_BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: python_bindings_test.sh NATIVE_BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 -m venv "$work/venv"
PIP_DISABLE_PIP_VERSION_CHECK=1 "$work/venv/bin/pip" install -q --only-binary :all: -r "$here/python-bindings.txt"
"$build/mcadec" -q -f -o "$work/sample.ppm" "$root/samples/sample.mca"
for binding in PyQt5:5 PyQt6:6 PySide6:6; do
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" QT_PLUGIN_PATH="$build/qt${binding#*:}" \
    "$work/venv/bin/python" - "${binding%:*}" "$root/samples/sample.mca" "$work/sample.ppm" <<'PY'
import importlib, sys
gui = importlib.import_module(sys.argv[1] + ".QtGui")
reader = gui.QImageReader(sys.argv[2])
image = reader.read()
assert not image.isNull(), f"{sys.argv[1]}: {reader.errorString()}"
image = image.convertToFormat(gui.QImage.Format.Format_RGB888)
_, width, height, _, pixels = open(sys.argv[3], "rb").read().split(maxsplit=4)
rows = b"".join(bytes(image.constScanLine(y).asstring(3 * image.width()) if hasattr(image.constScanLine(y), "asstring")
                      else image.constScanLine(y)[:3 * image.width()]) for y in range(image.height()))
assert (image.width(), image.height()) == (int(width), int(height)) and rows == pixels, sys.argv[1]
print(f"-- {sys.argv[1]}: QImageReader reads the sample through our plug-in, as mcadec decodes it")
PY
done
