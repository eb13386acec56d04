#!/usr/bin/env bash
# Captures the three tabs of Kestal.exe with a small demo database into docs/*.png.
# Runs on its own virtual display with a window manager, so the window has its frame.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# Always a virtual display of its own: it moves the mouse and takes screenshots.
KESTAL_USE_DISPLAY= use_virtual_display "$0" "$@"
wine_build_runnable

demo="$KESTAL_ROOT/build/demo"
docs="$KESTAL_ROOT/docs"
rm -rf "$demo"
mkdir -p "$demo" "$docs"
cp "$KESTAL_WINDOWS_BUILD/app/Kestal.exe" "$KESTAL_WINDOWS_BUILD/tools/make_demo.exe" "$demo/"

openbox >/dev/null 2>&1 &
wm=$!
wine_use_prefix screenshots
wine_prepare
wine_server_start
cleanup() {
  wine_server_stop
  kill "$wm" 2>/dev/null || true
}
trap cleanup EXIT

(cd "$demo" && wine make_demo.exe </dev/null)
(cd "$demo" && wine Kestal.exe </dev/null >/dev/null 2>&1 &)

window=$(timeout 20 xdotool search --sync --name "Password Kestal" | head -n 1)
sleep 1
# The window's client area starts just below the menu bar; the tabs sit 15 pixels down.
wine_client_origin "$window"

shoot() {
  sleep 0.7
  # The desktop is black: trimming it leaves exactly the framed window.
  import -window root -trim +repage "$docs/$1.png"
  echo "wrote docs/$1.png"
}

shoot config
xdotool mousemove $((X + 143)) $((Y + 15)) click 1
shoot entry
xdotool mousemove $((X + 233)) $((Y + 15)) click 1
xdotool mousemove $((X + 60)) $((Y + 99)) click 1 # select the second row
shoot list
