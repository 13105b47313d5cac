#!/bin/sh
# Makes the Wine prefix that WINEPREFIX names (about 20 s the first time),
# and waits until Wine has finished with it: wineboot returns while its
# server and services still set the prefix up.
# usage: wine_prefix.sh WINE
set -eu
wine="$1"
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver=wineserver
"$wine" wineboot --init
"$wineserver" --wait
