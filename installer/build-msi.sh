#!/usr/bin/env bash
# Builds TarnwickSetup.msi from Tarnwick.wxs with wixl, then gives the
# database code page 936, the Chinese product name, publisher and messages,
# and a small Chinese user interface (ui/*.idt: progress, then the outcome),
# all of which wixl itself cannot write (it ignores Product/@Codepage, crashes
# on non-ASCII text and has no dialogs). msibuild re-encodes every string of
# the database in the code page on commit.
#   build-msi.sh OUT.msi VERSION PRODUCT_CODE ADDIN_DLL CONTROL_OCX INSTALL_NOTE ICON
set -euo pipefail
out=$1 version=$2 product_code=$3 addin=$4 control=$5 note=$6 icon=$7
here=$(cd "$(dirname "$0")" && pwd)
product_name="Tarnwick 工作簿标签栏"
publisher="Tarnwick 开发组"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wixl takes file sources relative to the working directory only.
mkdir "$work/files"
cp "$addin" "$work/files/TarnwickAddin.dll"
cp "$control" "$work/files/Corvane.ocx"
cp "$note" "$work/files/INSTALL.txt"
cp "$icon" "$work/files/product.ico"
(cd "$work/files" && wixl -a x86 -o "$work/setup.msi" -D Version="$version" -D ProductCode="$product_code" \
   -D AddinDll=TarnwickAddin.dll -D ControlOcx=Corvane.ocx -D InstallNote=INSTALL.txt -D Icon=product.ico \
   "$here/Tarnwick.wxs")

# wixl writes the summary's template as Intel;1033 whatever Package/@Languages
# says; the package's language is the product's. (Setting the summary keeps
# its package code, Windows Installer version and word count.)
package_code=$(msiinfo suminfo "$work/setup.msi" | sed -n 's/^Revision number (UUID): //p')
msibuild "$work/setup.msi" -s Tarnwick Tarnwick "Intel;2052" "$package_code"
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
  { print }
  END { print "DefaultUIFont\tTarnwickFont" }'
fix_table LaunchCondition -v newer="已安装较新版本的 ${product_name}，未作任何更改。" \
  -v machine="${product_name} 已为本机所有用户安装。请先删除该副本（需要管理员权限），再为当前用户安装。" \
  -v user="当前用户已单独安装 ${product_name}。请先在“添加或删除程序”中删除该副本，再为所有用户安装。" '
  { sub(/@NEWER_INSTALLED@/, newer); sub(/@MACHINE_COPY_PRESENT@/, machine); sub(/@USER_COPY_PRESENT@/, user); print }'
if msiinfo export "$work/setup.msi" LaunchCondition | grep -q '@[A-Z_]*@'; then
  echo "build-msi.sh: a message placeholder is left" >&2; exit 1
fi
# wixl leaves the registry searches' locators out: the add-in's class in the
# machine's and in the user's classes (raw default value, 32-bit view).
clsid_key='Software\Classes\CLSID\{157952BC-9669-489A-A948-DBB13BB983A6}\InprocServer32'
printf 'Signature_\tRoot\tKey\tName\tType\ns72\ti2\ts255\tS255\tI2\nRegLocator\tSignature_\n%s\n%s\n' \
  "MachineAddin	2	$clsid_key		2" "UserAddin	1	$clsid_key		2" >"$work/RegLocator.idt"
msibuild "$work/setup.msi" -i "$work/RegLocator.idt"
# Progress while the package runs, then what happened; /qn shows none of it.
for table in "$here"/ui/*.idt; do msibuild "$work/setup.msi" -i "$table"; done
fix_table InstallUISequence '
  { print }
  END {
    print "ProgressDlg\t\t1280"
    print "ExitDlg\t\t-1"
    print "UserExitDlg\t\t-2"
    print "FatalErrorDlg\t\t-3"
  }'
# wixl writes its own number 4 for the HKMU root; Windows Installer's is -1
# (HKCU per user, HKLM with ALLUSERS).
fix_table Registry 'NR > 3 && $2 == 4 { $2 = -1 } { print }'
if msiinfo export "$work/setup.msi" Registry | awk -F '\t' 'NR > 3 && $2 != -1 { bad = 1 } END { exit !bad }'; then
  echo "build-msi.sh: a registry row is not under HKMU" >&2; exit 1
fi
mv "$work/setup.msi" "$out"
