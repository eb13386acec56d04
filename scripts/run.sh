#!/usr/bin/env bash
# Opens the freshly built Kestal.exe under Wine on this display, through the same launcher
# `make install` installs: the program runs from its program folder outside the build tree
# ($XDG_DATA_HOME/password-kestal, or KESTAL_HOME), in a Wine prefix of its own there, which
# no test touches. Records an older `make run` left in the build folders move there once.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [ -z "${DISPLAY:-}" ]; then
  echo "make run: no display (DISPLAY is not set). Run it from a desktop session," >&2
  echo "or use 'make screenshots' to see the window on a virtual display." >&2
  exit 1
fi
wine_build_runnable
export KESTAL_EXE="$KESTAL_WINDOWS_BUILD/app/Kestal.exe"
export KESTAL_MIGRATE_FROM="$KESTAL_ROOT/build/windows/app:$KESTAL_ROOT/build/windows64/app"
exec "$KESTAL_ROOT/scripts/password-kestal"
