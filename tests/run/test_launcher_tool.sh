#!/usr/bin/env bash
# The launcher and kestal-tool.exe in the same Wine prefix: the launcher never ends the tool
# half-way by stopping the prefix's server under it.
# - A server started under a loose umask (files others can read) holds the tool: the
#   launcher waits for the tool to finish, then replaces the server with one of its own
#   (umask 077) and opens the window.
# - A server of the right umask holds the tool while the launcher has set-up work to end
#   (the prefix's look): the launcher leaves that server alone and opens the window in it.
# The tool is held still (SIGSTOP) while it runs in the server, so that it cannot finish
# before the launcher decides; it must then complete its import with success.
# - The launcher tells the tool by the image it has mapped, in any letter case: typed at a
#   command prompt ("kestal-tool import ..."), its command line holds no "kestal-tool.exe".
#   test_launcher_tool.sh KESTAL_EXE KESTAL_TOOL_EXE
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
tool=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-launcher-tool.XXXXXX")
source "$root/scripts/kestal-wine.sh"
source "$root/tests/run/launcher_helpers.sh"
home="$work/home"
[ "$KESTAL_WINE_BITS" = 32 ] && prefix="$home/wine" || prefix="$home/wine64"
launcher="" held=""

cleanup() {
  [ -z "$held" ] || kill -CONT "$held" 2>/dev/null || true
  [ -z "$launcher" ] || kill "$launcher" 2>/dev/null || true
  [ ! -d "$prefix" ] || WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  [ ! -f "$work/launcher.log" ] || echo "launcher said: $(cat "$work/launcher.log")" >&2
  exit 1
}

start_launcher() {
  env KESTAL_HOME="$home" KESTAL_EXE="$exe" "$root/scripts/password-kestal" >"$work/launcher.log" 2>&1 &
  launcher=$!
}

# Ends the program the launcher became, and waits until its window has gone.
stop_launcher() {
  kill "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  launcher=""
  for _ in $(seq 40); do
    [ -n "$(window_of_program)" ] || return 0
    sleep 0.25
  done
  fail "the window stayed after the program ended"
}

server_umask() { WINEPREFIX=$prefix kestal_server_umask; }

# A process of the prefix that maps a file KESTAL-TOOL.EXE and whose command line is
# "kestal-tool import ...", as Wine shows a tool started by name from a command prompt.
mkdir -p "$work/fake"
cp "$(command -v sleep)" "$work/fake/KESTAL-TOOL.EXE"
(WINEPREFIX=$prefix exec -a "kestal-tool import in.csv" "$work/fake/KESTAL-TOOL.EXE" 30) &
fake=$!
for _ in $(seq 50); do grep -q KESTAL-TOOL.EXE "/proc/$fake/maps" 2>/dev/null && break; sleep 0.1; done
WINEPREFIX=$prefix kestal_prefix_runs kestal-tool.exe || fail "a tool started by name is not seen in its prefix"
! WINEPREFIX=$work/other kestal_prefix_runs kestal-tool.exe || fail "a tool of another prefix is seen"
! WINEPREFIX=$prefix kestal_prefix_runs Kestal.exe || fail "kestal-tool is taken for Kestal.exe"
kill "$fake"
wait "$fake" 2>/dev/null || true
echo "a tool started by name is seen by its mapped image, in its own prefix only"

# A window manager, as on a desktop.
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true; cleanup' EXIT

# A first start prepares the program folder and its prefix.
start_launcher
[ -n "$(wait_for_window 90)" ] || fail "no window on the first start"
stop_launcher
WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true

# 1. A server others started under umask 022, with the tool in it.
(umask 022 && WINEPREFIX=$prefix exec wineserver -p 60) </dev/null >/dev/null 2>&1 &
for _ in $(seq 40); do [ -z "$(server_umask)" ] || break; sleep 0.1; done
[ "$(server_umask)" = 0022 ] || fail "no server of umask 022 to begin with"
data="$work/data1"
mkdir -p "$data"
hold_tool "$data"
start_launcher
sleep 3
grep -q "waiting for $(basename "$tool") to finish" "$work/launcher.log" || fail "the launcher did not say it waits"
kill -0 "$held" 2>/dev/null || fail "kestal-tool.exe was ended while the launcher waited"
[ -z "$(window_of_program)" ] || fail "the program opened while the tool ran in a server of umask 022"
release_tool "$data"
[ -n "$(wait_for_window 30)" ] || fail "no window once the tool had finished"
[ "$(server_umask)" = 0077 ] || fail "the program runs in a server of umask $(server_umask)"
stop_launcher
echo "a server of umask 022 holding kestal-tool.exe: waited for the tool, then a server of umask 077"

# 2. A server of umask 077 holding the tool, while the launcher applies the prefix's look
# (whose end would stop the server).
WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
(umask 077 && WINEPREFIX=$prefix exec wineserver -p 60) </dev/null >/dev/null 2>&1 &
for _ in $(seq 40); do [ -z "$(server_umask)" ] || break; sleep 0.1; done
rm -f "$prefix"/.kestal-look-*
data="$work/data2"
mkdir -p "$data"
hold_tool "$data"
server=""
for pid in $(pgrep -x 'wineserver|wineserver32|wineserver64'); do
  if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix"; then
    server=$pid
  fi
done
[ -n "$server" ] || fail "no server of umask 077 to begin with"
start_launcher
[ -n "$(wait_for_window 60)" ] || fail "no window beside the held tool"
ls "$prefix"/.kestal-look-* >/dev/null 2>&1 || fail "the launcher did not apply the look"
kill -0 "$held" 2>/dev/null || fail "kestal-tool.exe was ended by the launcher"
kill -0 "$server" 2>/dev/null || fail "the launcher stopped the server that holds kestal-tool.exe"
release_tool "$data"
stop_launcher
echo "a server of umask 077 holding kestal-tool.exe: left running, the tool finished"
