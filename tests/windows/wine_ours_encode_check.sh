#!/usr/bin/env bash
# Saves a tagged WAVE file through the filter DLL under Wine over our runtime, with the options
# WORD, and holds the result to the native host's save of the same file with the same word: the
# two files decode (natively) to audio within one step of each other, or, where a float choice
# of the encoder fell the other way, to audio as close to the source (within 1 dB of SNR), and
# whether their bytes are identical is printed; ffprobe reads the same tags from both; and reading the file back
# through the DLL under Wine gives every tag, its line breaks as CR LF, in the decoded WAVE file
# as in what the host reports.
#   wine_ours_encode_check.sh WORD
# Environment: BIN, the Windows programs; OUT, a directory for what the check makes;
# NATIVE_HOST, the native filterhost (and its wavetool beside it).
set -uo pipefail
word=$1
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"
require_native_host
native_bin=$(dirname "$NATIVE_HOST")

# Every tag the filter maps, text beyond ASCII in Windows-1252, and all three kinds of line break.
stem=$OUT/ours-encode-$word
comment=$'first line\r\nsecond line\nthird line\rfourth line'
"$native_bin/wavetool" "$stem.wav" --seconds 3 \
  --tag "WAVE/DISP=Señor Tones" --tag "INFO/IART=The Ensemble" --tag "INFO/ICMT=$comment" \
  --tag "INFO/ICOP=© 2026 Nobody" --tag "INFO/ICRD=2026" --tag "INFO/IGNR=Électronique" \
  --tag "INFO/INAM=Signals – Live" --tag "INFO/ISFT=wavetool" >/dev/null || fail "wavetool"

"$NATIVE_HOST" encode "$stem.wav" "$stem.native.wma" --options "$word" || fail "native encode"
under_wine "$BIN/filterhost.exe" encode "$stem.wav" "$stem.ours.wma" --options "$word" ||
  fail "encode under Wine"
[ -f "$stem.ours.wma" ] || exit 1
if cmp -s "$stem.native.wma" "$stem.ours.wma"; then
  echo "$word: saved under Wine and natively: identical bytes"
else
  echo "$word: saved under Wine and natively: the bytes differ"
  "$NATIVE_HOST" decode "$stem.native.wma" "$stem.native.wav" >/dev/null || fail "native decode"
  "$NATIVE_HOST" decode "$stem.ours.wma" "$stem.ours.wav" >/dev/null ||
    fail "native decode of the file saved under Wine"
  if difference=$(under_wine "$BIN/pcm_difference.exe" "$stem.native.wav" "$stem.ours.wav" \
    --max-shift 0 --max-abs 1); then
    grep -qE '^frames ([0-9]+) and \1,' <<<"$difference" || fail "the audio differs in length"
    echo "$word: decoded, saved under Wine against natively: $difference"
  else
    # Our WMA v2 encoder decides its exponents and gains from float transforms, which libavcodec
    # computes with vector code natively and with plain C in the Windows build: a last bit apart
    # moves a choice, and the two saves are different codings of the same sound. Then each is
    # held to the source, sample for sample from the first: the save under Wine as close to it
    # as the native save, within 1 dB of SNR.
    snr() {
      local measured
      measured=$(under_wine "$BIN/pcm_difference.exe" "$stem.wav" "$1" --max-shift 0) || return 1
      grep -qE '^frames ([0-9]+) and \1,' <<<"$measured" || return 1
      sed -nE 's/.*snr (-?[0-9.]+) dB.*/\1/p' <<<"$measured"
    }
    native_snr=$(snr "$stem.native.wav") || fail "the native save differs in length from the source"
    wine_snr=$(snr "$stem.ours.wav") || fail "the save under Wine differs in length from the source"
    echo "$word: decoded, against the source: saved natively $native_snr dB SNR, under Wine" \
      "$wine_snr dB"
    awk -v n="$native_snr" -v w="$wine_snr" 'BEGIN { exit !(n != "" && w != "" && w >= n - 1) }' ||
      fail "the save under Wine is further from the source than the native save"
  fi
fi

tags() { ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 "$1" | sort; }
tags "$stem.ours.wma" >"$stem.ours.tags"
tags "$stem.native.wma" >"$stem.native.tags"
cmp -s "$stem.native.tags" "$stem.ours.tags" ||
  fail "ffprobe reads other tags: $(diff "$stem.native.tags" "$stem.ours.tags")"
for text in "Señor Tones" "The Ensemble" "© 2026 Nobody" "Électronique" "Signals – Live"; do
  grep -qF "$text" "$stem.ours.tags" || fail "ffprobe does not read \"$text\""
done

# Back through the DLL: what the host reports, and what it writes into the WAVE file.
info=$(under_wine "$BIN/filterhost.exe" info --json "$stem.ours.wma") || fail "info under Wine"
native_info=$("$NATIVE_HOST" info --json "$stem.native.wma")
[ "$info" = "$native_info" ] ||
  fail "info differs from the native host's: $(diff <(echo "$native_info") <(echo "$info"))"
grep -qF '"text": "first line\r\nsecond line\r\nthird line\r\nfourth line"' <<<"$info" ||
  fail "the comment does not come back with CR LF breaks"
under_wine "$BIN/filterhost.exe" decode "$stem.ours.wma" "$stem.back.wav" >/dev/null ||
  fail "decode under Wine"
# The tag chunks hold Windows-1252 text; compared as bytes, NULs left out.
export LC_ALL=C
back=$(tr -d '\0' <"$stem.back.wav")
for text in $'first line\r\nsecond line\r\nthird line\r\nfourth line' $'Se\xf1or Tones' \
  'The Ensemble' $'\xa9 2026 Nobody' '2026' $'\xc9lectronique' $'Signals \x96 Live' 'wavetool'; do
  [[ "$back" == *"$text"* ]] || fail "the decoded WAVE file lacks \"$text\""
done
exit $status
