#!/usr/bin/env bash
# Captures the three tabs of Kestal.exe with a small demo database into docs/*.png.
# Runs on its own virtual display with a window manager, so the window has its frame.
#   KESTAL_SHOT_DPI=144     the system DPI of the prefix (96 unless set; 120 is 125 %)
#   KESTAL_SHOT_THEME=light Wine's light theme instead of the classic look
#   KESTAL_SHOT_DIR=folder  where the pictures go (docs/ unless set)
# A DPI or theme of its own gets a prefix of its own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# Always a virtual display of its own: it moves the mouse and takes screenshots.
KESTAL_USE_DISPLAY= use_virtual_display "$0" "$@"
wine_build_runnable

demo="$KESTAL_ROOT/build/demo"
docs="${KESTAL_SHOT_DIR:-$KESTAL_ROOT/docs}"
dpi=${KESTAL_SHOT_DPI:-96}
theme=${KESTAL_SHOT_THEME:-classic}
rm -rf "$demo"
mkdir -p "$demo" "$docs"
cp "$KESTAL_WINDOWS_BUILD/app/Kestal.exe" "$KESTAL_WINDOWS_BUILD/tools/make_demo.exe" "$demo/"

openbox >/dev/null 2>&1 &
wm=$!
if [ "$dpi" = 96 ] && [ "$theme" = classic ]; then
  wine_use_prefix screenshots
else
  wine_use_prefix "screenshots-$dpi-$theme"
fi
wine_prepare
settings="$WINEPREFIX/drive_c/kestal-shot.reg"
{
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' "$dpi"
  printf '[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%08x\n\n' "$dpi"
  printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]\n'
  printf '"ThemeActive"="%s"\n' "$([ "$theme" = light ] && echo 1 || echo 0)"
} >"$settings"
wine regedit /S 'C:\kestal-shot.reg' </dev/null >/dev/null 2>&1
rm -f "$settings"
wineserver -w
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
# Positions are pixels at 96 DPI, scaled to the prefix's.
wine_client_origin "$window"
Y=$((Y + 40 * (dpi - 96) / 96))
at() {
  xdotool mousemove $((X + $1 * dpi / 96)) $((Y + $2 * dpi / 96)) click 1
}

shoot() {
  sleep 0.7
  # The desktop is black: trimming it leaves exactly the framed window.
  import -window root -trim +repage "$docs/$1.png"
  echo "wrote docs/$1.png"
}

shoot config
at 143 15
shoot entry
at 233 15
at 60 99 # select the second row
shoot list
