#!/bin/sh
# The completion file in a real interactive bash (under tmux, through
# bash-completion, as a user has it): names with spaces, quotes and non-ASCII
# letters complete as bash's own file completion quotes them, only MCA
# pictures and folders are offered for inputs.
# Arguments: the completion file.
set -eu
completion=$1
scratch=$(mktemp -d)
socket="mcadec-completion-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$scratch" 2>/dev/null || true
}
trap cleanup EXIT
mkdir "$scratch/pictures" "$scratch/pictures/sub dir"
touch "$scratch/pictures/my picture.mca" "$scratch/pictures/it's.mca" "$scratch/pictures/café.MCA" \
  "$scratch/pictures/other.txt"
cat > "$scratch/rc" <<RC
. /usr/share/bash-completion/bash_completion
. '$completion'
PS1='$ '
cd '$scratch/pictures'
RC
LC_ALL=C.UTF-8 tmux -L "$socket" -f /dev/null new-session -d -x 160 -y 40 "bash --norc --noprofile"
# Waits until the screen is cleared down to an empty prompt.
prompt() {
  tries=0
  until [ "$(tmux -L "$socket" capture-pane -p | grep -v '^$')" = '$' ]; do
    tries=$((tries + 1))
    [ $tries -le 300 ] || { echo "bash gave no prompt"; exit 1; }
    sleep 0.1
  done
}
tmux -L "$socket" send-keys ". '$scratch/rc'; clear" Enter
prompt
failed=0
# What is typed, then the line expected once Tab has completed it (a "#" is
# typed after the Tab to mark the end of the line).
check() {
  tmux -L "$socket" send-keys "mcadec $1" Tab "#"
  tries=0
  until tmux -L "$socket" capture-pane -p | grep -qxF -- "\$ mcadec $2#"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      echo "typed 'mcadec $1' and Tab: expected 'mcadec $2', the screen shows:"
      tmux -L "$socket" capture-pane -p | grep -v '^$' | tail -3
      failed=1
      break
    fi
    sleep 0.1
  done
  tmux -L "$socket" send-keys C-u "clear" Enter
  prompt
}
check 'my' 'my\ picture.mca '
check '"my' '"my picture.mca" '
check 'it' "it\\'s.mca "
check 'caf' 'café.MCA '
check 'ot' 'ot'
check '-o su' '-o sub\ dir/'
check '--form' '--format '
check '--format b' '--format bmp '
[ $failed -eq 0 ] && echo "completion_test: names with spaces, quotes and non-ASCII letters complete quoted"
exit $failed
