#!/usr/bin/env bash
# Runs options_dialog_check under Wine on a virtual display and keeps its screenshot of the
# options dialog as OUT/options-dialog.png, for a person to look at. Given a table of choices,
# the runtime is ours: the lists must be filled, and each choice is made through the controls
# (the screenshot is then options-dialog-ours.png). The check runs on a Wine desktop of its own,
# whose window Wine draws in full on that display: the shared Wine services were started
# without one. Wine's desktop does not pass the program's exit code on, so the result is read
# from the program's closing line.
#   wine_dialog_check.sh [CHOICES]
# Environment: BIN, the Windows programs; OUT, the directory for the screenshot.
set -uo pipefail
mkdir -p "$OUT"
shot=$OUT/options-dialog
mode=(--no-codecs)
if [ $# -gt 0 ]; then
  shot=$OUT/options-dialog-ours
  mode=(--choices "$1")
fi
rm -f "$shot.bmp" "$shot.png"
output=$(xvfb-run --auto-servernum --server-args="-screen 0 800x600x24" \
  wine explorer /desktop=options_dialog_check,640x480 \
  "$BIN/options_dialog_check.exe" "$BIN/wmafilter.dll" "$shot.bmp" "${mode[@]}" \
  2>&1 | tr -d '\r')
echo "$output"
if [ -f "$shot.bmp" ]; then
  ffmpeg -v error -y -i "$shot.bmp" "$shot.png" && echo "screenshot: $shot.png"
fi
grep -qE '^[0-9]+ passed, 0 failed$' <<<"$output"
