#!/bin/sh
# Ctrl-C and SIGTERM in a real terminal (bash under tmux) while mcadec
# converts a batch with its progress bar: the files being written are
# removed, the progress line is ended, so what the shell writes next starts
# a line of its own, and the shell sees mcadec die by the signal.
# Arguments: mcadec, make_large.
set -eu
mcadec=$1
make_large=$2
. "$(dirname "$0")/tmux_bash.sh"
"$make_large" --sparse "$scratch/a.mca" 64 64 >/dev/null
for name in b c; do "$make_large" --sparse "$scratch/$name.mca" 16000 16000 >/dev/null; done
tmux -L "$socket" send-keys "PS1='\$ '; cd '$scratch'; clear" Enter
wait_for_prompt
# Ctrl-C typed, as a user stops it; SIGTERM sent, as the end of a session does.
for signal in INT TERM; do
  rm -rf "$scratch/out"
  tmux -L "$socket" send-keys "clear; '$mcadec' -j 1 --size-limit 0 -o out a.mca b.mca c.mca; echo after \$?" Enter
  # The first picture done and the bar drawn; the second being written.
  wait_for 'screen | grep -q "1/3 files" && ls -A "$scratch/out" 2>/dev/null | grep -q "^\.mcadec-"'
  if [ $signal = INT ]; then
    tmux -L "$socket" send-keys C-c
  else
    kill -TERM "$(pgrep -P "$(tmux -L "$socket" display -p '#{pane_pid}')")"
  fi
  wait_for_prompt
  tmux -L "$socket" send-keys 'echo "status $?"' Enter
  wait_for 'screen | grep -q "^status"'
  shown=$(screen | grep -v '^$')
  failed=0
  # A status of 128 + n is not enough: only a death by SIGINT itself stops
  # the shell's command list, and only a death by SIGTERM itself has bash
  # say "Terminated" (the list then goes on).
  if [ $signal = INT ]; then
    echo "$shown" | grep -qx "status 130" && ! echo "$shown" | grep -q '^after' ||
      { echo "SIGINT: the shell saw no death by the signal"; failed=1; }
  else
    echo "$shown" | grep -qx "after 143" && echo "$shown" | grep -qx 'Terminated' ||
      { echo "SIGTERM: the shell saw no death by the signal"; failed=1; }
  fi
  # Ended, the line holds the bar alone: the shell's words start a line of their own.
  ! echo "$shown" | grep -q 'files.*\(\$\|Terminated\)' || { echo "SIG$signal: the progress line was not ended"; failed=1; }
  [ "$(ls -A "$scratch/out")" = a.png ] || { echo "SIG$signal: left in out/: $(ls -A "$scratch/out")"; failed=1; }
  [ $failed -eq 0 ] || { echo "$shown"; exit 1; }
done
echo "interrupt_test: Ctrl-C and SIGTERM end the progress line, leave no temporary file and kill mcadec by the signal"
