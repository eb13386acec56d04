#!/usr/bin/env bash
# Start-up loads only what the window needs: the shell and its helpers (shell32, shlwapi,
# shcore), COM automation (oleaut32, actxprxy) come with the folder picker, at the first
# "Browse", never before the window is painted. Read from Wine's own record of the modules
# each process loads. Runs in the Wine test runner's prefix, on its display.
#   test_startup_libraries.sh KESTAL_EXE
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
source "$root/scripts/kestal-wine.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-startup-test.XXXXXX")
program=""
trap '[ -z "$program" ] || kill "$program" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# A program folder of its own: no settings, so nothing is loaded but the window.
cp "$exe" "$work/Kestal.exe"
(cd "$work" && WINEDEBUG=+loaddll,+pid exec "$KESTAL_WINE" Kestal.exe) </dev/null >/dev/null 2>"$work/trace" &
program=$!
window=""
for _ in $(seq 60); do
  window=$(xdotool search --name "Password Kestal" 2>/dev/null | head -n 1) || true
  [ -z "$window" ] || break
  sleep 0.5
done
[ -n "$window" ] || fail "Kestal.exe showed no window"
sleep 1 # a module loaded late, once the window is up, would still be at start-up
kill "$program"
wait "$program" 2>/dev/null || true
program=""

# Lines read "PID:TID:trace:loaddll:... Loaded L\"C:\\windows\\system32\\NAME\" ..."; the first
# module a process loads is its program.
pid=$(grep -m 1 -i 'Loaded L".*Kestal\.exe"' "$work/trace" | cut -d: -f1)
[ -n "$pid" ] || fail "no trace of Kestal.exe loading; Wine wrote: $(head -c 2000 "$work/trace")"
loaded=$(grep "^$pid:" "$work/trace" | sed -n 's/.*Loaded L"\([^"]*\)".*/\1/p' | sed 's/.*\\//' | tr 'A-Z' 'a-z' | sort -u)
# What the window itself needs is there: the trace is complete enough to judge by.
for needed in user32.dll comctl32.dll; do
  grep -qx "$needed" <<<"$loaded" || fail "$needed is not in the trace; loaded: $(echo $loaded)"
done
for late in shell32.dll shlwapi.dll shcore.dll oleaut32.dll actxprxy.dll; do
  ! grep -qx "$late" <<<"$loaded" || fail "$late is loaded at start-up; loaded: $(echo $loaded)"
done
echo "start-up loaded $(wc -l <<<"$loaded") modules, none of the folder picker's"
