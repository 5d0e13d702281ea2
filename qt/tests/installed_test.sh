#!/usr/bin/env bash
# The Qt plug-ins as installed (tests/package/deb_test.sh): each Qt finds its
# plug-in in its own plugins folder. The Qt tests of the native build, with
# no QT_PLUGIN_PATH, read the folder of pictures.
#   installed_test.sh installed|purged WORK SAMPLE
set -euo pipefail
[ "$1" = installed ] || exit 0
for qt in 5 6; do
  if [ -x "build/native/qt${qt}_tests" ]; then
    env -i PATH=/usr/bin:/bin HOME="$2" "build/native/qt${qt}_tests" --gtest_brief=1 \
      --gtest_filter='QtPlugin.FoundByQt*:QtPlugin.ReadsTheFolder*' >/dev/null ||
      { echo "Qt $qt does not read MCA pictures through the installed plug-in"; exit 1; }
  fi
done
