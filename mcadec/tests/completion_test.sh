#!/bin/sh
# The completion file in a real interactive bash (under tmux, through
# bash-completion, as a user has it): names with spaces, quotes and non-ASCII
# letters complete as bash's own file completion quotes them, only MCA
# pictures and folders are offered for inputs.
# Arguments: the completion file.
set -eu
completion=$1
. "$(dirname "$0")/tmux_bash.sh"
mkdir "$scratch/pictures" "$scratch/pictures/sub dir"
touch "$scratch/pictures/my picture.mca" "$scratch/pictures/it's.mca" "$scratch/pictures/café.MCA" \
  "$scratch/pictures/other.txt"
cat > "$scratch/rc" <<RC
. /usr/share/bash-completion/bash_completion
. '$completion'
PS1='$ '
cd '$scratch/pictures'
RC
tmux -L "$socket" send-keys ". '$scratch/rc'; clear" Enter
wait_for_prompt
failed=0
# What is typed, then the line expected once Tab has completed it (a "#" is
# typed after the Tab to mark the end of the line). Every case is tried.
check() {
  tmux -L "$socket" send-keys "mcadec $1" Tab "#"
  tries=0
  until screen | grep -qxF -- "\$ mcadec $2#"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      echo "typed 'mcadec $1' and Tab: expected 'mcadec $2', the screen shows:"
      screen | grep -v '^$' | tail -3
      failed=1
      break
    fi
    sleep 0.1
  done
  tmux -L "$socket" send-keys C-u "clear" Enter
  wait_for_prompt
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
