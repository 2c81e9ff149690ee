# Sourced by the checks' scripts: failures are counted, not fatal, so that one run reports all.
status=0
fail() { echo "FAILED: $*"; status=1; }
# The Wine loader of the build's architecture: wine for 32-bit programs, wine64 for 64-bit ones.
WINE=${WINE:-wine}
# Runs a Windows program under Wine; its console ends lines with CR LF, which go.
under_wine() { "$WINE" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# As under_wine, for a file that Wine's own reader cannot open: its Open then sometimes hangs (a
# race on GStreamer's error path: about one run in three on a header without packets under
# 32-bit Wine 8, never with +wmvcore tracing on), so each try is bounded and made up to three
# times. Only a try that ends counts; three that hang fail.
under_wine_refused() {
  local attempt result
  for attempt in 1 2 3; do
    timeout --foreground 20 "$WINE" "$@" | tr -d '\r'
    result=${PIPESTATUS[0]}
    [ "$result" -ne 124 ] && return "$result"
    echo "(Wine's reader hung opening the file, try $attempt of 3)" >&2
  done
  return 124
}
# The native host that a check over our runtime compares with; the check fails without it.
require_native_host() {
  [ -x "${NATIVE_HOST:-}" ] && return 0
  echo "FAILED: no native host at '${NATIVE_HOST:-}' to compare with: build the native preset"
  exit 1
}
