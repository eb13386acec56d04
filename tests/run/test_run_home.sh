#!/usr/bin/env bash
# The program as a Linux user runs it, on the display in DISPLAY:
# - the launcher behind `make run` keeps the program folder outside the build tree, 0700,
#   with a Wine prefix of its own inside it, and the files a save writes come out 0600;
#   `make clean` leaves all of it alone;
# - `make install` in a throwaway HOME whose path holds a space gives a desktop entry that
#   desktop-file-validate accepts and that a real launcher (gio launch) starts, opening the
#   window; a HOME holding the characters the entry must escape still names the launcher;
#   `make uninstall` removes exactly what install added and leaves the records.
#   test_run_home.sh KESTAL_EXE
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-run-test.XXXXXX")
source "$root/scripts/kestal-wine.sh"
wm=""

cleanup() {
  for prefix in "$work"/*/password-kestal/wine* "$work"/fake\ home/.local/share/password-kestal/wine*; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  done
  [ -z "$wm" ] || kill "$wm" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# A window manager, as on a desktop, so that the window takes the keyboard.
openbox >/dev/null 2>&1 &
wm=$!

# Starts a launcher, waits for the window, saves the database with File > Save Database
# (Alt+F, A; the box answered with Enter), closes with Escape, and waits for the launcher.
save_once() {
  "$@" >"$work/launcher.log" 2>&1 &
  local launcher=$! window="" _
  # Polled rather than --sync: Wine's set-up makes and drops windows, and a search that meets
  # one as it goes fails with an X error.
  for _ in $(seq 180); do
    window=$(xdotool search --name "Password Kestal" 2>/dev/null | head -n 1) || true
    [ -z "$window" ] || break
    sleep 0.5
  done
  [ -n "$window" ] || fail "no window; launcher said: $(cat "$work/launcher.log")"
  sleep 1
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  xdotool key --delay 150 alt+f a
  sleep 1
  xdotool key Return
  sleep 0.5
  xdotool key Escape
  timeout 30 tail --pid="$launcher" -f /dev/null || fail "the program did not close"
  # A desktop's launcher (gio launch) returns once it has started the program.
  for _ in $(seq 60); do
    [ -n "$(xdotool search --name "Password Kestal" 2>/dev/null)" ] || return 0
    sleep 0.5
  done
  fail "the window stayed"
}

mode() { stat -c %a "$1"; }

# Writes a settings file naming folder (an ASCII one) with count records and the password
# "pw", and a database of count records.
old_records() {
  local folder=$1 count=$2 win
  win=$(kestal_windows_folder "$folder")
  mkdir -p "$folder"
  { printf "\\x$(printf %02x "$count")\\x00\\x00\\x00%s" "$win"; head -c $((256 - ${#win})) /dev/zero; printf pw
    head -c 58 /dev/zero; } >"$folder/KSys.dat"
  for _ in $(seq "$count"); do
    { printf 'migrated'; head -c 120 /dev/zero; printf 'url'; head -c 381 /dev/zero; }
  done >"$folder/Kestal.dat"
}

# The program folder of `make run`, in a throwaway KESTAL_HOME under a home folder with a
# space and a letter beyond ASCII, where the records an older `make run` left in a build
# folder move once. The settings then name it in the program's code page (Windows-1252 in
# this locale), and the program finds the records there: its save replaces the file.
home="$work/Jörg home/password-kestal"
old_records "$work/oldbuild" 2
moved=$(stat -c %i "$work/oldbuild/Kestal.dat")
save_once env LC_ALL=C.UTF-8 KESTAL_HOME="$home" KESTAL_EXE="$exe" KESTAL_MIGRATE_FROM="$work/none:$work/oldbuild" \
  "$root/scripts/password-kestal"
grep -q "moved the records from $work/oldbuild to $home" "$work/launcher.log" || fail "no line about the move"
[ ! -e "$work/oldbuild/KSys.dat" ] && [ ! -e "$work/oldbuild/Kestal.dat" ] || fail "the old records stayed"
[ "$(head -c 8 "$home/Kestal.dat")" = migrated ] || fail "the moved records are not in the program folder"
[ "$(stat -c %s "$home/Kestal.dat")" = 1024 ] || fail "the moved database lost records"
head -c 260 "$home/KSys.dat" | tail -c 256 | tr -d '\0' >"$work/named"
kestal_windows_folder "$home" | iconv -f UTF-8 -t CP1252 >"$work/want"
cmp -s "$work/named" "$work/want" || fail "the settings name $(cat -v "$work/named"), not the program folder in Windows-1252"
[ "$(head -c 262 "$home/KSys.dat" | tail -c 2)" = pw ] || fail "the move changed the stored password"
[ "$(stat -c %i "$home/Kestal.dat")" != "$moved" ] || fail "the program did not find the moved records (it saved none)"
# A second move never overwrites what the program folder holds.
old_records "$work/oldbuild" 1
save_once env KESTAL_HOME="$home" KESTAL_EXE="$exe" KESTAL_MIGRATE_FROM="$work/oldbuild" \
  "$root/scripts/password-kestal"
[ -e "$work/oldbuild/Kestal.dat" ] && [ "$(stat -c %s "$home/Kestal.dat")" = 1024 ] || fail "a second move overwrote records"
# A program folder whose name the program's code page cannot hold is refused before
# anything moves, and the program is not started.
cyrillic="$work/Пароли/password-kestal"
old_records "$work/oldbuild2" 1
status=0
env LC_ALL=C.UTF-8 KESTAL_HOME="$cyrillic" KESTAL_EXE="$exe" KESTAL_MIGRATE_FROM="$work/oldbuild2" \
  "$root/scripts/password-kestal" >"$work/launcher.log" 2>&1 || status=$?
[ "$status" = 2 ] || fail "a program folder Windows-1252 cannot name: exit $status, not 2"
grep -q "cannot name the folder" "$work/launcher.log" || fail "no message about the folder: $(cat "$work/launcher.log")"
[ -f "$work/oldbuild2/KSys.dat" ] && [ -f "$work/oldbuild2/Kestal.dat" ] && [ ! -e "$cyrillic/KSys.dat" ] &&
  [ ! -e "$cyrillic/Kestal.dat" ] || fail "records moved into a folder the program cannot name"
case "$(cd "$home" && pwd -P)/" in "$(cd "$root" && pwd -P)/build/"*) fail "the program folder is in the build tree" ;; esac
[ "$(mode "$home")" = 700 ] || fail "program folder mode $(mode "$home"), not 700"
for f in KSys.dat Kestal.dat Kestal.exe; do
  [ -f "$home/$f" ] || fail "$f missing from the program folder"
done
for f in KSys.dat Kestal.dat; do
  [ "$(mode "$home/$f")" = 600 ] || fail "$f mode $(mode "$home/$f"), not 600"
done
ls -d "$home"/wine* >/dev/null 2>&1 || fail "no Wine prefix beside the program"
echo "program folder $(mode "$home"), KSys.dat $(mode "$home/KSys.dat"), Kestal.dat $(mode "$home/Kestal.dat")"

# `make clean` of a tree whose build folder exists leaves the program folder as it was.
mkdir -p "$work/tree/build/windows"
cp "$root/Makefile" "$work/tree/"
before=$(cd "$home" && find . | sort | md5sum)
make -s -C "$work/tree" clean
[ ! -e "$work/tree/build" ] || fail "make clean left the build folder"
[ "$before" = "$(cd "$home" && find . | sort | md5sum)" ] || fail "make clean changed the program folder"

# make install / uninstall in a throwaway HOME with a space in its path, the desktop entry
# started the way a desktop starts it.
fake="$work/fake home"
mkdir -p "$fake"
listing() { (cd "$fake" && find . -path ./.local/share/password-kestal -prune -o \( -type f -o -type l \) -print | sort); }
empty=$(listing)
HOME="$fake" XDG_DATA_HOME= bash "$root/scripts/install.sh" install >/dev/null
# kestal-tool beside the launcher: the README's way out runs it from there.
"$fake/.local/bin/kestal-tool" --version >/dev/null || fail "make install put no working kestal-tool beside the launcher"
desktop="$fake/.local/share/applications/password-kestal.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused $desktop"
save_once env -u KESTAL_HOME -u KESTAL_EXE HOME="$fake" XDG_DATA_HOME= gio launch "$desktop"
[ -f "$fake/.local/share/password-kestal/Kestal.dat" ] || fail "the launcher the desktop entry names saved nothing"
HOME="$fake" XDG_DATA_HOME= bash "$root/scripts/install.sh" uninstall >/dev/null
[ "$empty" = "$(listing)" ] || fail "uninstall left: $(listing)"
[ -f "$fake/.local/share/password-kestal/Kestal.dat" ] || fail "uninstall removed the records"
echo "install, desktop entry started by gio launch, launcher and uninstall: passed"

# A HOME holding every character the entry's Exec must escape (but %, which the desktop
# library in use here cannot start at all): the entry still names the installed launcher,
# here replaced by a stand-in that says how it was called.
odd="$work/odd \$HOME \"q\" \\b \`x\` 'y'"
mkdir -p "$odd"
HOME="$odd" XDG_DATA_HOME= bash "$root/scripts/install.sh" install >/dev/null
desktop="$odd/.local/share/applications/password-kestal.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused $desktop"
printf '#!/bin/sh\nprintf "%%s" "$0" >"$MARK"\n' >"$odd/.local/bin/password-kestal"
MARK="$work/called" gio launch "$desktop" || fail "gio launch refused: $(grep ^Exec= "$desktop")"
for _ in $(seq 40); do [ ! -s "$work/called" ] || break; sleep 0.1; done
[ "$(cat "$work/called" 2>/dev/null)" = "$odd/.local/bin/password-kestal" ] ||
  fail "$(grep ^Exec= "$desktop") started '$(cat "$work/called" 2>/dev/null)'"
HOME="$odd" XDG_DATA_HOME= bash "$root/scripts/install.sh" uninstall >/dev/null
echo "a HOME with \$ \" \\ \` ' and spaces: the entry starts the installed launcher"
