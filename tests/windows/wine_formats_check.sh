#!/usr/bin/env bash
# filterhost.exe formats under Wine. Over our runtime ("ours"), its lines and its JSON are the
# native host's over the same runtime sources, byte for byte, and list at least one format. Over
# Wine's own runtime, which has no codec information, it is refused in one line with exit code 1.
#   wine_formats_check.sh [ours]
# Environment: BIN, the Windows programs; OUT, a directory for what the check makes;
# NATIVE_HOST, the native filterhost.
set -uo pipefail
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"

if [ "${1:-}" != ours ]; then
  said=$("$WINE" "$BIN/filterhost.exe" formats 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
  code=$?
  echo "$said"
  [ "$code" -eq 1 ] || fail "exit code $code, not 1"
  [ "$(wc -l <<<"$said")" -eq 1 ] || fail "not one line"
  grep -q '^filterhost: the media runtime offers no codec information' <<<"$said" ||
    fail "not the host's line for a runtime without codec information"
  exit $status
fi

require_native_host
for form in text json; do
  arguments=(formats)
  [ "$form" = json ] && arguments+=(--json)
  stem=$OUT/formats-$form
  "$NATIVE_HOST" "${arguments[@]}" >"$stem.native" || fail "native formats ($form)"
  under_wine "$BIN/filterhost.exe" "${arguments[@]}" >"$stem.ours" || fail "formats under Wine ($form)"
  [ -s "$stem.native" ] || fail "the native host lists no formats ($form)"
  diff "$stem.native" "$stem.ours" >"$stem.diff" ||
    fail "the lists differ (< native, > Wine): $(cat "$stem.diff")"
done
echo "$(wc -l <"$OUT/formats-text.ours") formats listed alike under Wine and natively"
cat "$OUT/formats-text.ours"
exit $status
