# Sourced by the scripts that run programs under Wine: a private 32-bit prefix inside the
# build folder, quiet, and prepared once.
KESTAL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$KESTAL_ROOT/build/wine"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers on first start

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

wine_server_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}
