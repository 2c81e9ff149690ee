#!/usr/bin/env bash
# Runs options_dialog_check under Wine on a virtual display and keeps its screenshot of the
# options dialog as OUT/options-dialog.png, for a person to look at. Given a table of choices,
# the runtime is ours: each choice is also made through the controls, and what every opening
# showed and gave must be what the native headless dialog shows and gives over the same
# runtime (dialog_report); the screenshot is then options-dialog-ours.png. The check runs on a
# Wine desktop of its own, whose window Wine draws in full on that display: the shared Wine
# services were started without one. Wine's desktop does not pass the program's exit code on, so the result is read
# from the program's closing line.
#   wine_dialog_check.sh [CHOICES]
# Environment: BIN, the Windows programs; OUT, the directory for the screenshot; NATIVE_BIN,
# the native build's programs.
set -uo pipefail
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"
shot=$OUT/options-dialog
mode=(--no-codecs)
if [ $# -gt 0 ]; then
  shot=$OUT/options-dialog-ours
  mode=(--choices "$1")
fi
rm -f "$shot.bmp" "$shot.png"
output=$(xvfb-run --auto-servernum --server-args="-screen 0 800x600x24" \
  "$WINE" explorer /desktop=options_dialog_check,640x480 \
  "$BIN/options_dialog_check.exe" "$BIN/wmafilter.dll" "$shot.bmp" "${mode[@]}" \
  2>&1 | tr -d '\r')
echo "$output"
if [ -f "$shot.bmp" ]; then
  ffmpeg -v error -y -i "$shot.bmp" "$shot.png" && echo "screenshot: $shot.png"
fi
grep -qE '^[0-9]+ passed, 0 failed$' <<<"$output" || fail "the dialog's own checks"
if [ $# -gt 0 ]; then
  report() { grep -E '^(opening with|  lists:|  word:)'; }
  native=$("$NATIVE_BIN/dialog_report" "$NATIVE_BIN/libwmafilter.so" "$1") ||
    fail "no native report from $NATIVE_BIN/dialog_report: build the native preset"
  diff <(report <<<"$native") <(report <<<"$output") >"$shot.diff" ||
    fail "the dialog differs from the native one (< native, > Wine): $(cat "$shot.diff")"
fi
exit $status
