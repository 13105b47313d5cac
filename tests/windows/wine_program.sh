#!/bin/sh
# kestrix-convert.exe under Wine, for a test of the Linux build that runs a
# program by its path (KESTRIX_PROGRAM_UNDER_TEST).
# Environment: KESTRIX_WINE, KESTRIX_WINDOWS_EXE; WINEPREFIX, WINEDEBUG.
exec "$KESTRIX_WINE" "$KESTRIX_WINDOWS_EXE" "$@"
