#!/bin/sh
# kestrix-convert.exe is one file: the DLLs it loads are all Windows' own
# (libstdc++, libgcc and winpthread are linked in).
# usage: system_dlls.sh EXE [OBJDUMP]
set -eu
exe="$1"
objdump="${2:-x86_64-w64-mingw32-objdump}"
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
[ -n "$dlls" ] || { echo "$exe: no DLL listed" >&2; exit 1; }
status=0
for dll in $dlls; do
  case "$dll" in
    kernel32.dll | msvcrt.dll | ole32.dll | shell32.dll | advapi32.dll | user32.dll) ;;
    *)
      echo "$exe needs $dll, which Windows does not have" >&2
      status=1
      ;;
  esac
done
# shellcheck disable=SC2086 # the list on one line
[ "$status" = 0 ] && echo "$exe needs only Windows' own DLLs:" $dlls
exit "$status"
