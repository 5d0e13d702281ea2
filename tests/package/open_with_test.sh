#!/usr/bin/env bash
# "Open with" as a user meets it, with the packages installed: every viewer
# that gio offers for MCA pictures through our desktop entries is launched
# with `gio launch` on a picture of one colour, on a virtual screen, and must
# show it: the colour must fill most of the picture's area on the screen.
# An entry whose viewer is gone is not offered (TryExec). Runs in a session
# of its own with a session bus, as a desktop has (single-instance viewers
# such as LXImage-Qt need one).
#   tests/package/open_with_test.sh MAKE_LARGE
set -euo pipefail
make_large=${1:?usage: open_with_test.sh MAKE_LARGE}
# The viewers' and the session's own chatter on standard error is dropped.
[ -n "${ZUVREK_SESSION:-}" ] || ZUVREK_SESSION=1 exec dbus-run-session -- "$0" "$@" 2>/dev/null
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
picture=$work/colour.mca
"$make_large" --solid "$picture" 320 240 ff00c8

# Pixels of the picture's colour on the screen now.
shown() {
  xwd -root -silent | convert xwd:- -depth 8 rgb:- |
    python3 -c 'import sys; print(sys.stdin.buffer.read().count(b"\xff\x00\xc8"))'
}

entries=$(gio mime image/x-mca | sed -n 's/^\t\(zuvrek-mca-.*\.desktop\)$/\1/p' | sort -u)
[ -n "$entries" ] || { echo "open_with_test: no viewer is offered for MCA pictures"; exit 1; }
failed=0
for entry in $entries; do
  program=$(sed -n 's/^TryExec=//p' "/usr/share/applications/$entry")
  gio launch "/usr/share/applications/$entry" "$picture" >/dev/null 2>&1 &
  launcher=$!
  count=0
  for _ in $(seq 60); do
    sleep 0.5
    count=$(shown)
    [ "$count" -lt $((320 * 240 / 2)) ] || break
  done
  if [ "$count" -ge $((320 * 240 / 2)) ]; then
    echo "open_with_test: $entry shows the picture"
  else
    echo "open_with_test: $entry does not show the picture ($count pixels of its colour)"
    failed=1
  fi
  pkill -x "$program" || true
  for _ in $(seq 50); do pgrep -x "$program" >/dev/null || break; sleep 0.1; done
  pkill -9 -x "$program" || true
  wait "$launcher" || true
done
exit $failed
