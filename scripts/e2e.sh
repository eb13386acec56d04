#!/usr/bin/env bash
# One whole session in the real Kestal.exe, driven with the mouse and keyboard on a virtual
# display: start with no files, add three entries, leave with File > Exit (which saves),
# start again, choose the Desktop folder with "Browse" and write the settings there with
# "Save Configuration" (no records there yet: count 0), save the database there with
# File > Save Database, quit, and start a third time: the settings beside the program now
# name that folder, and the three entries are shown from it. Checks the files after each
# step; screenshots go to build/e2e/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# Always a virtual display of its own: it moves the mouse and takes screenshots.
KESTAL_USE_DISPLAY= use_virtual_display "$0" "$@"
wine_build_runnable

work="$KESTAL_ROOT/build/e2e"
rm -rf "$work"
mkdir -p "$work/program" "$work/home"
cp "$KESTAL_WINDOWS_BUILD/app/Kestal.exe" "$work/program/"
# A prefix of its own whose Documents folder is inside the work folder.
export HOME="$work/home"
export WINEPREFIX="$work/wine"

fail() {
  echo "e2e: FAILED: $*" >&2
  exit 1
}

openbox >/dev/null 2>&1 &
wm=$!
wine_prepare
wine_server_start
trap 'wine_server_stop; kill $wm 2>/dev/null || true' EXIT

start() {
  (cd "$work/program" && wine Kestal.exe </dev/null >/dev/null 2>&1 &)
  window=$(timeout 20 xdotool search --sync --name "Password Kestal" | head -n 1)
  sleep 1
  wine_client_origin "$window"
}
# Clicks at a position relative to the main window's client area.
at() {
  xdotool mousemove $((X + $1)) $((Y + $2)) click 1
  sleep 0.2
}
field() {
  at "$1" "$2"
  xdotool key End shift+Home
  xdotool type --delay 5 "$3"
}
shot() {
  sleep 0.5
  import -window root "$work/$1.png"
}
wait_closed() {
  for _ in $(seq 50); do
    xdotool search --name "Password Kestal" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window did not close"
}

echo "e2e: first start, no files"
start
[ ! -e "$work/program/KSys.dat" ] || fail "settings written at start-up"
at 143 15 # the "Password Entry" tab
while IFS='|' read -r website url user password remarks; do
  field 183 82 "$website"
  field 183 116 "$url"
  field 163 152 "$user"
  field 158 187 "$password"
  field 158 222 "$remarks"
  at 400 102 # Add
done <<'ROWS'
Alpha Mail|https://alpha.example|ann|pw-alpha|first
Beta Bank|https://beta.example|bob|pw-beta|
Gamma Games|https://gamma.example|gil|pw-gamma|third
ROWS
shot added
xdotool key alt+f
sleep 0.3
xdotool key e # Exit
sleep 0.8
shot saved
xdotool key Return # "System record saved"
wait_closed

[ "$(stat -c %s "$work/program/Kestal.dat")" = 1536 ] || fail "Kestal.dat is not 3 x 512 bytes"
[ "$(stat -c %s "$work/program/KSys.dat")" = 320 ] || fail "KSys.dat is not 320 bytes"
[ "$(od -An -tu4 -N4 "$work/program/KSys.dat" | tr -d ' ')" = 3 ] || fail "the count is not 3"
grep -q "Gamma Games" "$work/program/Kestal.dat" || fail "the third entry is missing"

echo "e2e: second start, the three entries come back"
start
at 143 15
shot entry
at 233 15 # the "Password List" tab
shot list
at 48 15 # the "Configuration" tab
at 459 98 # Browse
sleep 1
# The picker opens at the folder in use, the program folder; Home goes to the top of its
# tree, the Desktop, which this prefix keeps in the work folder's home; Enter presses OK.
shot picker
xdotool key Home
sleep 0.3
xdotool key Return
sleep 0.5
at 149 262 # Save Configuration
shot configured
[ -f "$work/home/KSys.dat" ] || fail "no settings file in the chosen folder"
# Settings saved on their own count the records the folder's database holds: none yet.
[ "$(od -An -tu4 -N4 "$work/home/KSys.dat" | tr -d ' ')" = 0 ] || fail "the chosen folder's count is not 0"
xdotool key alt+f
sleep 0.3
xdotool key a # Save Database
sleep 0.8
shot saved-there
xdotool key Return # "Database saved"
sleep 0.3
[ "$(stat -c %s "$work/home/Kestal.dat")" = 1536 ] || fail "the chosen folder's Kestal.dat is not 3 x 512 bytes"
[ "$(od -An -tu4 -N4 "$work/home/KSys.dat" | tr -d ' ')" = 3 ] || fail "the chosen folder's count is not 3"
cmp -s "$work/home/KSys.dat" "$work/program/KSys.dat" || fail "the settings beside the program do not follow the records"
at 153 435 # Quit: the records were saved into the chosen folder, so nothing is saved
wait_closed

echo "e2e: third start, from the chosen folder; open a row, delete it, close with the close box"
rm "$work/program/Kestal.dat"
start
at 233 15
shot list-there
xdotool mousemove $((X + 49)) $((Y + 99)) click --repeat 2 --delay 80 1 # "Beta Bank"
sleep 0.5
shot opened
at 508 102 # Delete
sleep 0.5
shot delete-question
xdotool key y # Yes
sleep 0.5
shot deleted
xdotool mousemove $((X + 740)) $((Y - 32)) click 1 # the close box
sleep 0.8
shot close-question
xdotool key Return # Yes, the default: save
sleep 0.8
xdotool key Return # "System record saved"
wait_closed
[ "$(stat -c %s "$work/home/Kestal.dat")" = 1024 ] || fail "the delete was not saved"
! grep -q "Beta Bank" "$work/home/Kestal.dat" || fail "the deleted record is still in the file"
grep -q "Gamma Games" "$work/home/Kestal.dat" || fail "the records left the chosen folder"
[ "$(od -An -tu4 -N4 "$work/program/KSys.dat" | tr -d ' ')" = 2 ] || fail "the settings beside the program do not count 2"
echo "e2e: passed (screenshots in build/e2e/)"
