#!/usr/bin/env bash
# Runs the cross-built tests under Wine, in a prefix of their own and on a virtual display
# of their own (KESTAL_USE_DISPLAY=1 uses the display in DISPLAY instead).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
use_virtual_display "$0" "$@"

wine_build_runnable
wine_use_prefix test
wine_prepare
wine_server_start
trap wine_server_stop EXIT
ctest --preset "$KESTAL_WINDOWS_PRESET" "$@"
