#!/usr/bin/env bash
# Runs a Windows test program in a prefix of its own whose system DPI is DPI (Windows' "Make
# text bigger": 120 is 125 %, 144 is 150 %), on the display the test runner provides.
#   at_dpi.sh DPI PROGRAM [ARGUMENTS...]
set -euo pipefail
dpi=$1
shift
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
wine_use_prefix "test-dpi$dpi"
wine_prepare
stamp="$WINEPREFIX/.kestal-dpi-$dpi"
if [ ! -f "$stamp" ]; then
  hex=$(printf '%08x' "$dpi")
  reg="$WINEPREFIX/drive_c/kestal-dpi.reg"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%s\n\n[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%s\n' \
    "$hex" "$hex" >"$reg"
  wine regedit /S 'C:\kestal-dpi.reg' </dev/null >/dev/null 2>&1
  rm -f "$reg"
  wineserver -w
  touch "$stamp"
fi
wine_server_start
trap wine_server_stop EXIT
"$KESTAL_WINE" "$@"
