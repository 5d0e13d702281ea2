# Sourced by the tests that drive a real interactive bash: a scratch folder,
# a tmux server of the test's own with bash in it, removed on exit, and
# waiting for the screen. Defines $scratch and $socket, and:
#   screen             the pane's text
#   wait_for COMMAND   until COMMAND holds (a minute at most), else the test fails
#   wait_for_prompt    until the last line is the bare prompt "$"
scratch=$(mktemp -d)
socket="zuvrek-test-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$scratch" 2>/dev/null || true
}
trap cleanup EXIT
screen() { tmux -L "$socket" capture-pane -p; }
wait_for() {
  tries=0
  until eval "$1"; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ]; then
      echo "gave up waiting for: $1"
      screen
      exit 1
    fi
    sleep 0.1
  done
}
wait_for_prompt() { wait_for '[ "$(screen | grep -v "^$" | tail -1)" = "\$" ]'; }
LC_ALL=C.UTF-8 tmux -L "$socket" -f /dev/null new-session -d -x 160 -y 40 "bash --norc --noprofile"
