#!/usr/bin/env bash
# The options dialog at a terminal, through tmux: a person opens it, changes the mode, picks a
# codec and a format and presses Enter, and the word that comes back names that choice; Escape
# gives back the incoming word; and without a terminal the dialog never waits for input.
#   terminal_dialog_test.sh DRIVER    (DRIVER: options_dialog_driver)
set -euo pipefail
driver=$1
if ! command -v tmux >/dev/null; then
  echo "tmux is not installed"
  exit 77
fi

work=$(mktemp -d)
socket="options-dialog-test-$$"
session() { tmux -L "$socket" -f /dev/null "$@"; }
cleanup() {
  session kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A session of its own keeps the server up between dialogs: a server whose last session has
# just ended may still be exiting when the next dialog asks it for a session.
session new-session -d -s idle cat

fail() {
  echo "$1"
  session capture-pane -p -t dialog 2>/dev/null || true
  exit 1
}

# Waits until the screen shows the text, for ten seconds at most.
wait_for() {
  for _ in $(seq 100); do
    if session capture-pane -p -t dialog 2>/dev/null | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  fail "the screen never showed: $1"
}

# Waits for the driver's word, for ten seconds at most, and compares it.
expect_word() {
  for _ in $(seq 100); do
    if [ -s "$work/result" ]; then break; fi
    sleep 0.1
  done
  local word
  word=$(cat "$work/result" 2>/dev/null || true)
  [ "$word" = "$1" ] || fail "expected the word $1, got '$word'"
  rm -f "$work/result"
}

keys() { session send-keys -t dialog "$@"; }

open_dialog() {
  # The previous dialog's program may still be exiting after it wrote its word.
  for _ in $(seq 100); do
    session has-session -t dialog 2>/dev/null || break
    sleep 0.1
  done
  session new-session -d -s dialog -x 100 -y 40 "$driver $1 $work/result"
  wait_for "Windows Media Audio Options"
}

# The default opens with the mode list focused; Down picks VBR, which lists codec 0's VBR
# formats; Tab and Home pick the first codec in sorted order; Tab and Down its second format.
open_dialog 0
wait_for "[CBR  v]"
wait_for "[128 kbps, 44 kHz, stereo CBR"
keys Down
wait_for "[Quality 50, 44 kHz, stereo VBR"
keys Tab Home
wait_for "> Beta Lossless"
keys Tab Down
wait_for "> Lossless, 96 kHz, stereo, 24 bit"
keys Enter
expect_word 0x80030001

# Escape after a change gives back the incoming word.
open_dialog 0x80000000
wait_for "> VBR"
keys Up
wait_for "[CBR  v]"
keys Escape
expect_word 0x80000000

# Without a terminal nobody is asked: the dialog closes at once with the incoming word.
timeout 10 "$driver" 0x00010000 "$work/result" </dev/null >/dev/null ||
  fail "the dialog waited without a terminal"
expect_word 0x00010000
echo "terminal dialog: 3 passed, 0 failed"
