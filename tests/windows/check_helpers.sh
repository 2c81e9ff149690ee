# Sourced by the checks' scripts: failures are counted, not fatal, so that one run reports all.
status=0
fail() { echo "FAILED: $*"; status=1; }
# The Wine loader of the build's architecture: wine for 32-bit programs, wine64 for 64-bit ones.
WINE=${WINE:-wine}
# Runs a Windows program under Wine; its console ends lines with CR LF, which go.
under_wine() { "$WINE" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# The native host that a check over our runtime compares with; the check fails without it.
require_native_host() {
  [ -x "${NATIVE_HOST:-}" ] && return 0
  echo "FAILED: no native host at '${NATIVE_HOST:-}' to compare with: build the native preset"
  exit 1
}
