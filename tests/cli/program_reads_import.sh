#!/usr/bin/env bash
# Records the native kestal-tool imports into a folder whose name is not ASCII
# ("Passwörter") are found by the real program under Wine: started from another program
# folder with the settings the import wrote, it reads the database from the folder they
# name, so its File > Save Database writes that file anew (a save into a folder it cannot
# find would fail and leave the file as it was). And the settings the program writes
# itself in a folder named "Schlüssel" are that folder's to check and import. Needs a
# display: the Wine test runner provides one.
#   program_reads_import.sh NATIVE_TOOL KESTAL_EXE WINE
set -uo pipefail
tool=$1
exe=$2
wine=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-program-reads.XXXXXX")
wm=""
cleanup() {
  [ -z "$wm" ] || kill "$wm" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}
[ -x "$tool" ] || fail "the native build ($tool) is missing: make test builds it first"

db="$work/Passwörter"
mkdir "$db" "$work/program"
printf 'name,url,username,password,note\nMail,https://mail.example,ann,s3cret,\nBank,https://bank.example,bob,pw,\n' \
  >"$work/in.csv"
"$tool" import "$work/in.csv" "$db" >/dev/null || fail "the import"
cp "$exe" "$work/program/Kestal.exe"
cp "$db/KSys.dat" "$work/program/KSys.dat"
before=$(stat -c %i "$db/Kestal.dat")
cp "$db/Kestal.dat" "$work/imported"

# A window manager, so that the window takes the keyboard.
openbox >/dev/null 2>&1 &
wm=$!

# Starts Kestal.exe in folder, presses keys in its window, closes it with Escape and waits.
run_program() {
  local folder=$1 window="" program _
  shift
  (cd "$folder" && "$wine" Kestal.exe) >"$work/program.log" 2>&1 &
  program=$!
  for _ in $(seq 120); do
    window=$(xdotool search --name "Password Kestal" 2>/dev/null | head -n 1) || true
    [ -z "$window" ] || break
    sleep 0.5
  done
  [ -n "$window" ] || fail "no window"
  sleep 1
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  for keys in "$@"; do
    xdotool key --delay 150 $keys
    sleep 1
  done
  xdotool key Escape
  timeout 30 tail --pid="$program" -f /dev/null || fail "the program did not close"
}

run_program "$work/program" "alt+f a" Return # File > Save Database, and its message box
[ "$(stat -c %i "$db/Kestal.dat")" != "$before" ] ||
  fail "the program did not save into $db: it did not find the database the settings name"
cmp -s "$work/imported" "$db/Kestal.dat" || fail "the program saved other records than the two imported"
echo "the program read the two records imported into $db and saved them back"

# The other way: settings the program writes itself in a folder named "Schlüssel" (File >
# Save System Record, in a fresh folder: they name the program folder) are this folder's to
# the tool, and an import into it is taken.
mine="$work/Schlüssel"
mkdir "$mine"
cp "$exe" "$mine/Kestal.exe"
run_program "$mine" "alt+f y"
[ -f "$mine/KSys.dat" ] || fail "the program wrote no settings"
"$tool" check "$mine" >"$work/check.out" 2>&1 || fail "check of the program's own settings: $(cat "$work/check.out")"
grep -qF "Schlüssel\ (this folder)" "$work/check.out" || fail "check does not see this folder: $(cat "$work/check.out")"
"$tool" import "$work/in.csv" "$mine" >"$work/import.out" 2>&1 || fail "import beside the program's own settings: $(cat "$work/import.out")"
echo "check and import take the settings the program wrote in $mine as that folder's"
