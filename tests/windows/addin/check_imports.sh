#!/usr/bin/env bash
# Fails when a module imports anything but Windows system DLLs.
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|oleacc|msvcrt|comdlg32|shlwapi|uxtheme|version)\.dll$'
status=0
for module in "$@"; do
  [ -n "$module" ] || continue
  imports=$(i686-w64-mingw32-objdump -p "$module" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$imports" ] || { echo "$module: no imports found"; status=1; continue; }
  for dll in $imports; do
    if ! [[ $dll =~ $allowed ]]; then
      echo "$module imports $dll, which is not a Windows system DLL"
      status=1
    fi
  done
  echo "$module: $(echo $imports | tr '\n' ' ')"
done
exit $status
