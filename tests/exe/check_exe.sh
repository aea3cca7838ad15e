#!/usr/bin/env bash
# Checks the built exe as a file: it imports no DLL beyond Windows' own.
set -euo pipefail
exe=$1
allowed='^(KERNEL32|USER32|GDI32|msvcrt|ADVAPI32|SHELL32|COMCTL32)\.dll$'
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ -n "$dlls" ] || { echo "no import table read from $exe"; exit 1; }
status=0
for dll in $dlls; do
  [[ $dll =~ $allowed ]] || { echo "imports a DLL that Windows does not ship: $dll"; status=1; }
done
[ $status = 0 ] && echo "imports only Windows' own DLLs:" $dlls
exit $status
