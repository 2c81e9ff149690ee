#!/usr/bin/env bash
# Runs options_dialog_check under Wine on a virtual display and keeps its screenshot of the
# options dialog as OUT/options-dialog.png, for a person to look at. The check runs on a Wine
# desktop of its own, whose window Wine draws in full on that display: the shared Wine
# services were started without one. Wine's desktop does not pass the program's exit code on,
# so the result is read from the program's closing line.
# Environment: BIN, the Windows programs; OUT, the directory for the screenshot.
set -uo pipefail
mkdir -p "$OUT"
rm -f "$OUT/options-dialog.bmp" "$OUT/options-dialog.png"
output=$(xvfb-run --auto-servernum --server-args="-screen 0 800x600x24" \
  wine explorer /desktop=options_dialog_check,640x480 \
  "$BIN/options_dialog_check.exe" "$BIN/wmafilter.dll" "$OUT/options-dialog.bmp" --no-codecs \
  2>&1 | tr -d '\r')
echo "$output"
if [ -f "$OUT/options-dialog.bmp" ]; then
  ffmpeg -v error -y -i "$OUT/options-dialog.bmp" "$OUT/options-dialog.png" &&
    echo "screenshot: $OUT/options-dialog.png"
fi
grep -qE '^[0-9]+ passed, 0 failed$' <<<"$output"
