#!/usr/bin/env bash
# Opens the built Kestal.exe under Wine on this display, in the run prefix (which no test
# touches). The program folder is the folder of the built exe, so the settings and the
# database are saved there.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [ -z "${DISPLAY:-}" ]; then
  echo "make run: no display (DISPLAY is not set). Run it from a desktop session," >&2
  echo "or use 'make screenshots' to see the window on a virtual display." >&2
  exit 1
fi
wine_build_runnable
exe="$KESTAL_WINDOWS_BUILD/app/Kestal.exe"
if [ ! -f "$exe" ]; then
  echo "make run: $exe is missing; run 'make windows' first." >&2
  exit 1
fi
wine_use_prefix run
wine_prepare
cd "$(dirname "$exe")"
exec "$KESTAL_WINE" "$exe"
