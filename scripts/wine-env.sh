# Sourced by the scripts that run programs under Wine: which Wine this host can run, a
# private prefix for each use, quiet, and prepared once.
#
# Each use has a prefix of its own (wine_use_prefix NAME), because a prefix has one
# wineserver and `wineserver -k` ends every program in it: the tests, screenshots and
# benchmarks must never share the prefix of a program the user has open.
KESTAL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$KESTAL_ROOT/scripts/kestal-wine.sh"
if [ "$KESTAL_WINE_BITS" = 32 ]; then
  KESTAL_WINDOWS_PRESET=windows
else
  KESTAL_WINDOWS_PRESET=windows64
fi
# The build folder whose programs this host can run.
KESTAL_WINDOWS_BUILD="$KESTAL_ROOT/build/$KESTAL_WINDOWS_PRESET"

# Builds the Windows preset this host runs, when it is not the product's own.
wine_build_runnable() {
  if [ "$KESTAL_WINDOWS_PRESET" != windows ]; then
    echo "This host runs no 32-bit programs: Wine runs the x86_64 build of the same sources." >&2
    (cd "$KESTAL_ROOT" && cmake --preset "$KESTAL_WINDOWS_PRESET" >/dev/null &&
      cmake --build --preset "$KESTAL_WINDOWS_PRESET" -j2)
  fi
}

# Points WINEPREFIX at the prefix of one use: run, test, screenshots, bench.
wine_use_prefix() {
  local suffix=""
  [ "$KESTAL_WINE_BITS" = 32 ] || suffix=64
  export WINEPREFIX="$KESTAL_ROOT/build/wine-$1$suffix"
}

# Creates the prefix on first use (about 10 s), with the fonts and colours the pages were
# laid out with. The test programs' windows are unmanaged, so that a window or message box
# that goes away does not wait 2 s for a window manager's answer; Kestal.exe itself stays
# managed, so that a desktop's window manager frames it.
wine_prepare() {
  local ready="$WINEPREFIX/.kestal-ready-2"
  if [ ! -f "$ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\AppDefaults\Kestal.exe\X11 Driver' /v Managed /t REG_SZ /d Y /f \
      </dev/null >/dev/null 2>&1
    touch "$ready"
  fi
  kestal_prefix_look
  wineserver -w
}

# A persistent server makes each Wine start take milliseconds instead of seconds.
# Wine's own background services are started here too, with their output going nowhere:
# started by a test they would inherit the test runner's pipes, and the runner would wait
# for them to close.
wine_server_start() {
  wineserver -p 60 </dev/null >/dev/null 2>&1 &
  wineboot </dev/null >/dev/null 2>&1
}

# Ends every program of this prefix, and only of this prefix.
wine_server_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}

# Sets X and Y to the screen position of the main window's client area, just below its menu
# bar. Wine draws the frames in these prefixes, so the X window starts at the outer frame:
# 3 pixels of frame, then the title bar and the menu bar (19 + 21 pixels at 96 DPI).
wine_client_origin() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  X=$((X + 3))
  Y=$((Y + 43))
}

# Runs the rest of the calling script on a virtual display of its own, unless
# KESTAL_USE_DISPLAY=1 asks for the display in DISPLAY and that display answers. Test
# windows then never land on the user's desktop, and a stale DISPLAY cannot break a run.
use_virtual_display() {
  if [ -n "${KESTAL_IN_XVFB:-}" ]; then
    return 0
  fi
  if [ "${KESTAL_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ] &&
     timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1; then
    return 0
  fi
  KESTAL_IN_XVFB=1 exec env -u DISPLAY xvfb-run -a -s "-screen 0 1600x1200x24" "$@"
}
