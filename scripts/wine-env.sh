# Sourced by the scripts that run programs under Wine: which Wine this host can run, a
# private prefix for each use, quiet, and prepared once.
#
# Each use has a prefix of its own (wine_use_prefix NAME), because a prefix has one
# wineserver and `wineserver -k` ends every program in it: the tests, screenshots and
# benchmarks must never share the prefix of a program the user has open.
KESTAL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers on first start

# The product is a 32-bit program, run by Wine's 32-bit half. Some hosts' kernels execute
# 64-bit code only (a 32-bit execve fails with "Exec format error"); there the Windows code
# is built for x86_64 as well and run by the 64-bit loader. KESTAL_WINE_BITS says which, and
# KESTAL_WINDOWS_BUILD is the build folder whose programs this host can run.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  KESTAL_WINE_BITS=32
  KESTAL_WINDOWS_PRESET=windows
  KESTAL_WINE=wine
  export WINEARCH=win32
else
  KESTAL_WINE_BITS=64
  KESTAL_WINDOWS_PRESET=windows64
  export WINEARCH=win64
  # Debian's `wine` and `wineboot` scripts pick the 32-bit loader whenever it is installed.
  export WINELOADER=/usr/lib/wine/wine64
  KESTAL_WINE=$WINELOADER # for `exec`, which bypasses the functions below
  wine() { "$WINELOADER" "$@"; }
  wineboot() { "$WINELOADER" wineboot.exe "$@"; }
fi
KESTAL_WINDOWS_BUILD="$KESTAL_ROOT/build/$KESTAL_WINDOWS_PRESET"

# Builds the Windows preset this host runs, when it is not the product's own.
wine_build_runnable() {
  if [ "$KESTAL_WINDOWS_PRESET" != windows ]; then
    echo "This host runs no 32-bit programs: Wine runs the x86_64 build of the same sources." >&2
    cmake --preset "$KESTAL_WINDOWS_PRESET" >/dev/null
    cmake --build --preset "$KESTAL_WINDOWS_PRESET" -j2
  fi
}

# Points WINEPREFIX at the prefix of one use: run, test, screenshots, bench.
wine_use_prefix() {
  local suffix=""
  [ "$KESTAL_WINE_BITS" = 32 ] || suffix=64
  export WINEPREFIX="$KESTAL_ROOT/build/wine-$1$suffix"
}

# Creates the prefix on first use (about 10 s). The test programs' windows are unmanaged, so
# that a window or message box that goes away does not wait 2 s for a window manager's
# answer; Kestal.exe itself stays managed, so that a desktop's window manager frames it.
wine_prepare() {
  local ready="$WINEPREFIX/.kestal-ready-2"
  if [ ! -f "$ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\AppDefaults\Kestal.exe\X11 Driver' /v Managed /t REG_SZ /d Y /f \
      </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$ready"
  fi
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
  KESTAL_IN_XVFB=1 exec env -u DISPLAY xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}
