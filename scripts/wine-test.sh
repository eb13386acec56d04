#!/usr/bin/env bash
# Runs the cross-built tests under Wine, inside a virtual display when there is none.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${KESTAL_IN_XVFB:-}" ]; then
  KESTAL_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine_prepare
wine_server_start
trap wine_server_stop EXIT
ctest --preset windows "$@"
