#!/usr/bin/env bash
# The launcher leaves nothing running: when the program closes, the Wine server the launcher
# started ends, with every service process of its prefix, once nothing of the project runs in
# it any more.
# - Closed with its close box, the program ends, the launcher returns 0, and no process of
#   the prefix remains (no wineserver, no services.exe, winedevice.exe, ...).
# - A server someone else started before the launcher stays running after the close.
# - A kestal-tool.exe still running (held still with SIGSTOP) keeps the server past the
#   close; the tool then completes its import, and the server ends after it.
# - Two launchers of one program folder: closing the first leaves the second's program
#   running; ending the second launcher (SIGTERM, as a desktop's session end sends) ends its
#   program and then the server.
#   test_launcher_end.sh KESTAL_EXE KESTAL_TOOL_EXE
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
tool=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-launcher-end.XXXXXX")
source "$root/scripts/kestal-wine.sh"
source "$root/tests/run/launcher_helpers.sh"
home="$work/home"
[ "$KESTAL_WINE_BITS" = 32 ] && prefix="$home/wine" || prefix="$home/wine64"
launchers=() held="" wm=""

cleanup() {
  [ -z "$held" ] || kill -CONT "$held" 2>/dev/null || true
  for pid in "${launchers[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ ! -d "$prefix" ] || WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  [ -z "$wm" ] || kill "$wm" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  for log in "$work"/launcher*.log; do
    [ ! -f "$log" ] || echo "$(basename "$log"): $(cat "$log")" >&2
  done
  exit 1
}

# The processes running in the prefix, one "pid name" a line.
prefix_processes() {
  local proc
  for proc in /proc/[0-9]*; do
    WINEPREFIX=$prefix kestal_in_prefix "$proc" || continue
    printf '%s %s\n' "${proc#/proc/}" "$(tr '\0' ' ' <"$proc/cmdline" 2>/dev/null)"
  done
}
server_pid() { WINEPREFIX=$prefix kestal_server_pid; }

# Starts a launcher of the program folder; its process id is appended to launchers.
start_launcher() { # start_launcher LOG
  env KESTAL_HOME="$home" KESTAL_EXE="$exe" "$root/scripts/password-kestal" >"$work/$1" 2>&1 &
  launchers+=("$!")
}

# Waits for the launcher to return; fails unless it returns within 30 s, with status 0
# unless any status will do.
launcher_returns() { # launcher_returns PID [any]
  local status=0
  timeout 30 tail --pid="$1" -f /dev/null || fail "the launcher did not return after the program closed"
  wait "$1" || status=$?
  [ "$status" = 0 ] || [ "${2:-}" = any ] || fail "the launcher returned $status"
}

# Clicks the close box of window: Wine draws the frame in the program's prefix, with the
# close box at the right end of the title bar.
click_close_box() {
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + WIDTH - 12)) $((Y + 10)) click 1
}

# The programs of the prefix are all gone.
nothing_left() { # nothing_left WHEN
  local left
  left=$(prefix_processes)
  [ -z "$left" ] || fail "$1, still running in the prefix: $(echo "$left" | tr '\n' ';')"
}

# A window manager, as on a desktop.
openbox >/dev/null 2>&1 &
wm=$!

# 1. The launcher's own server: closed with the close box, nothing of the prefix stays. The
# first start also prepares the prefix.
start_launcher launcher1.log
window=$(wait_for_window 120)
[ -n "$window" ] || fail "no window on the first start"
[ -n "$(server_pid)" ] || fail "no server while the program runs"
sleep 1
click_close_box "$window"
launcher_returns "${launchers[0]}"
nothing_left "after the close box"
echo "closed with the close box: the launcher returned 0 and nothing of its prefix runs"

# 2. A server someone else started stays.
(umask 077 && WINEPREFIX=$prefix exec wineserver -p 60) </dev/null >/dev/null 2>&1
others=$(server_pid)
[ -n "$others" ] || fail "no server of someone else's to begin with"
start_launcher launcher2.log
window=$(wait_for_window 60)
[ -n "$window" ] || fail "no window beside a server started by someone else"
sleep 1
click_close_box "$window"
launcher_returns "${launchers[1]}"
[ "$(server_pid)" = "$others" ] || fail "the launcher stopped a server it did not start"
WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
echo "a server started by someone else: left running"

# 3. A kestal-tool.exe running in the launcher's server keeps it until the tool has finished.
start_launcher launcher3.log
window=$(wait_for_window 60)
[ -n "$window" ] || fail "no window for the tool's case"
server=$(server_pid)
data="$work/data3"
mkdir -p "$data"
hold_tool "$data"
click_close_box "$window"
launcher_returns "${launchers[2]}"
grep -q "still runs" "$work/launcher3.log" || fail "the launcher did not say what keeps the server"
kill -0 "$held" 2>/dev/null || fail "kestal-tool.exe was ended when the program closed"
[ "$(server_pid)" = "$server" ] || fail "the server ended under a running kestal-tool.exe"
sleep 2
[ "$(server_pid)" = "$server" ] || fail "the server ended while kestal-tool.exe was still running"
release_tool "$data"
for _ in $(seq 60); do
  [ -n "$(prefix_processes)" ] || break
  sleep 0.5
done
nothing_left "30 s after kestal-tool.exe finished"
echo "a kestal-tool.exe running at the close: it finished its import, then the server ended"

# 4. Two launchers of one program folder: the server ends after the last one.
start_launcher launcher4a.log
first=$(wait_for_window 60)
[ -n "$first" ] || fail "no window for the first of two launchers"
start_launcher launcher4b.log
second=""
for _ in $(seq 240); do
  second=$(xdotool search --name "Password Kestal" 2>/dev/null | grep -vx "$first" | head -n 1) || true
  [ -z "$second" ] || break
  sleep 0.25
done
[ -n "$second" ] || fail "no window for the second of two launchers"
server=$(server_pid)
sleep 1
# The second window opens over the first: bring the first to the top to reach its close box.
xdotool windowactivate --sync "$first" 2>/dev/null || xdotool windowraise "$first"
sleep 0.5
click_close_box "$first"
launcher_returns "${launchers[3]}"
[ "$(server_pid)" = "$server" ] || fail "closing one of two programs stopped the server under the other"
[ -n "$(xdotool search --name "Password Kestal" 2>/dev/null | grep -x "$second")" ] ||
  fail "closing one of two programs closed the other"
kill -TERM "${launchers[4]}"
launcher_returns "${launchers[4]}" any
[ -z "$(xdotool search --name "Password Kestal" 2>/dev/null)" ] || fail "the program stayed after its launcher was ended"
nothing_left "after the second launcher was ended"
echo "two launchers: the server stayed for the second program, and ended after it"
