#!/usr/bin/env bash
# Builds TarnwickSetup.msi from Tarnwick.wxs with wixl, then gives the
# database code page 936 and the Chinese product name and publisher, which
# wixl itself cannot write (it ignores Product/@Codepage and crashes on a
# non-ASCII product name). msibuild re-encodes every string of the database
# in the code page on commit.
#   build-msi.sh OUT.msi VERSION PRODUCT_CODE ADDIN_DLL CONTROL_OCX ICON
set -euo pipefail
out=$1 version=$2 product_code=$3 addin=$4 control=$5 icon=$6
here=$(cd "$(dirname "$0")" && pwd)
product_name="Tarnwick 工作簿标签栏"
publisher="Tarnwick 开发组"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wixl takes file sources relative to the working directory only.
mkdir "$work/files"
cp "$addin" "$work/files/TarnwickAddin.dll"
cp "$control" "$work/files/Corvane.ocx"
cp "$icon" "$work/files/product.ico"
(cd "$work/files" && wixl -a x86 -o "$work/setup.msi" -D Version="$version" -D ProductCode="$product_code" \
   -D AddinDll=TarnwickAddin.dll -D ControlOcx=Corvane.ocx -D Icon=product.ico "$here/Tarnwick.wxs")

printf '\n\n936\t_ForceCodepage\n' >"$work/_ForceCodepage.idt"
msibuild "$work/setup.msi" -i "$work/_ForceCodepage.idt"
# An imported table replaces the whole table: export, change rows, import.
fix_table() {
  local table=$1; shift
  msiinfo export "$work/setup.msi" "$table" | sed 's/\r$//' | awk -F '\t' -v OFS='\t' "$@" >"$work/$table.idt"
  msibuild "$work/setup.msi" -i "$work/$table.idt"
}
fix_table Property -v name="$product_name" -v publisher="$publisher" '
  NR > 3 && $1 == "ProductName" { $2 = name }
  NR > 3 && $1 == "Manufacturer" { $2 = publisher }
  { print }'
# wixl writes its own number 4 for the HKMU root; Windows Installer's is -1
# (HKCU per user, HKLM with ALLUSERS).
fix_table Registry 'NR > 3 && $2 == 4 { $2 = -1 } { print }'
if msiinfo export "$work/setup.msi" Registry | awk -F '\t' 'NR > 3 && $2 != -1 { bad = 1 } END { exit !bad }'; then
  echo "build-msi.sh: a registry row is not under HKMU" >&2; exit 1
fi
mv "$work/setup.msi" "$out"
