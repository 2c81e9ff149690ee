#!/usr/bin/env bash
# Checks a built DLL's tables: every name in the export definition file is exported under its
# plain name and nothing else is, COUNT in all; the DLL imports only the DLLs that IMPORTS names
# ("kernel32|msvcrt", without ".dll"); and, when a resource script is given, its only resource
# is dialog 101 in UK English, with the very bytes that windres compiles from the script.
#   check_dll_tables.sh OBJDUMP DLL DEF COUNT IMPORTS [WINDRES RC]
set -euo pipefail
objdump=$1 dll=$2 def=$3 count=$4 allowed=$5 windres=${6:-} rc=${7:-}

tables=$("$objdump" -p "$dll")
status=0

exported=$(printf '%s\n' "$tables" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
expected=$(sed -n '/^EXPORTS/,$ s/^\s\+\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$def" | sort)
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
export_count=$(printf '%s\n' "$exported" | grep -c .)
if [ "$export_count" -ne "$count" ]; then
  echo "$export_count exports, not $count"; status=1
fi

imports=$(printf '%s\n' "$tables" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
unexpected=$(printf '%s\n' "$imports" | grep -v -E "^($allowed)\.dll$" || true)
if [ -n "$unexpected" ]; then
  echo "unexpected imports:"; printf '%s\n' "$unexpected"; status=1
fi

if [ -z "$rc" ]; then
  [ $status -eq 0 ] && echo "$export_count exports, imports: $(echo $imports)"
  exit $status
fi

# The resource tree as objdump prints it: one type (5, a dialog), one name (0x65, 101) and one
# language (0x809, English, United Kingdom).
resource_ids=$(printf '%s\n' "$tables" | sed -n '/The .rsrc Resource Directory section/,/^$/p' |
  sed -n 's/.* Entry: ID: \(0x[0-9a-f]*\),.*/\1/p' | tr '\n' ' ')
if [ "$resource_ids" != "0x000005 0x000065 0x000809 " ]; then
  echo "resources are not exactly dialog 101 in language 0x0809: ids $resource_ids"; status=1
fi
# The dialog's bytes against the script's: both as .res files, each holding one resource whose
# 32-byte header follows the file's own 32-byte header; the headers differ only in the memory
# flags and language, which the DLL keeps in its resource tree instead.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$windres" -i "$dll" -O res -o "$scratch/dll.res"
"$windres" -i "$rc" -O res -o "$scratch/rc.res"
if ! cmp -s <(tail -c +65 "$scratch/dll.res") <(tail -c +65 "$scratch/rc.res"); then
  echo "dialog 101 in the DLL differs from $rc"; status=1
fi

[ $status -eq 0 ] && echo "$export_count exports, imports: $(echo $imports), resources: dialog 101 (0x0809) as in $(basename "$rc")"
exit $status
