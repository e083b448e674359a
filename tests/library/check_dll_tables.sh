#!/bin/sh
# The DLL exports exactly its two self-registration entry points and imports
# only Windows system DLLs. Usage: check_dll_tables.sh <objdump> <dll>
set -eu
objdump="$1"
dll="$2"
table=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort | tr '\n' ' ')
if [ "$exports" != "DllRegisterServer DllUnregisterServer " ]; then
  echo "unexpected export table: '$exports'"
  exit 1
fi

imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
echo "imports:" $imports
for name in $imports; do
  case "$name" in
  KERNEL32.DLL | ADVAPI32.DLL | USER32.DLL | MSVCRT.DLL) ;;
  *)
    echo "unexpected import: $name"
    exit 1
    ;;
  esac
done
printf '%s\n' "$imports" | grep -qx KERNEL32.DLL || { echo "KERNEL32.DLL not imported"; exit 1; }
echo "exports: $exports"
