#!/usr/bin/env bash
# Checks the built filter DLL's export and import tables: every name in the export definition
# file is exported under its plain name and nothing else is, and the DLL imports only Windows'
# own DLLs and wmvcore.dll.
set -euo pipefail
objdump=$1 dll=$2 def=$3

tables=$("$objdump" -p "$dll")

exported=$(printf '%s\n' "$tables" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
expected=$(sed -n 's/^\s*\([A-Za-z_][A-Za-z0-9_]*\) *=.*/\1/p' "$def" | sort)

status=0
if [ -z "$exported" ]; then
  echo "no exports found in $dll"; status=1
fi
if printf '%s\n' "$exported" | grep -q '[@?]'; then
  echo "decorated export names:"; printf '%s\n' "$exported" | grep '[@?]'; status=1
fi
if [ "$exported" != "$expected" ]; then
  echo "exports differ from $def:"; diff <(printf '%s\n' "$expected") <(printf '%s\n' "$exported") || true
  status=1
fi

allowed='^(kernel32|user32|ole32|msvcrt|wmvcore)\.dll$'
imports=$(printf '%s\n' "$tables" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
unexpected=$(printf '%s\n' "$imports" | grep -v -E "$allowed" || true)
if [ -n "$unexpected" ]; then
  echo "unexpected imports:"; printf '%s\n' "$unexpected"; status=1
fi

[ $status -eq 0 ] && echo "$(printf '%s\n' "$exported" | wc -l) exports, imports: $(echo $imports)"
exit $status
