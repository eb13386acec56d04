#!/usr/bin/env bash
# make dist: the Windows release archive holds Kestal.exe, kestal-tool.exe and a README.txt
# with Windows line ends, all of one version, both programs stripped of their symbols and
# debug sections, and both programs run from the unpacked folder under Wine. Where this host runs no 32-bit programs, the archive's programs are checked to
# be 32-bit and the same archive made from the x86_64 build is the one run.
#   test_dist.sh RUNNABLE_BUILD PRODUCT_BUILD WINE
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runnable=$1
product=$2
wine=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-dist-test.XXXXXX")
program=""
trap '[ -z "$program" ] || kill "$program" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
version=$(sed -n 's/^#define KESTAL_VERSION_TEXT "\(.*\)"/\1/p' "$root/resources/version.h")

bash "$root/scripts/dist.sh" "$product" "$work/out" >/dev/null
zip="$work/out/password-kestal-$version-win32.zip"
[ -f "$zip" ] || fail "no $zip"
listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$listing" = "password-kestal-$version-win32/ password-kestal-$version-win32/Kestal.exe password-kestal-$version-win32/README.txt password-kestal-$version-win32/kestal-tool.exe " ] ||
  fail "the archive holds: $listing"
unzip -q "$zip" -d "$work/unpacked"
folder="$work/unpacked/password-kestal-$version-win32"
for exe in Kestal.exe kestal-tool.exe; do
  objdump -f "$folder/$exe" | grep -q 'file format pei-i386' || fail "$exe is not a 32-bit Windows program"
  # The version record of the resources: "1.1.0" in UTF-16 among the strings.
  strings -el "$folder/$exe" | grep -qx "$version" || [ "$exe" = kestal-tool.exe ] || fail "$exe has no version $version"
  # Stripped: no debug section and no symbol table, and so smaller than the build's copy;
  # the sections a program runs from are all still there.
  sections=$(objdump -h "$folder/$exe" | awk '$1 ~ /^[0-9]+$/ { print $2 }' | tr '\n' ' ')
  ! grep -q '\.debug' <<<"$sections" || fail "$exe ships debug sections: $sections"
  [ "$(nm "$folder/$exe" 2>&1)" = "nm: $folder/$exe: no symbols" ] || fail "$exe ships a symbol table"
  for section in .text .rdata .idata .reloc; do
    grep -qF " $section " <<<" $sections" || fail "$exe lost its $section section: $sections"
  done
  [ "$exe" = Kestal.exe ] && built=$product/app/$exe || built=$product/cli/$exe
  [ "$(stat -c %s "$folder/$exe")" -lt "$(stat -c %s "$built")" ] || fail "$exe is no smaller than the build's"
  echo "$exe: $(stat -c %s "$built") bytes built, $(stat -c %s "$folder/$exe") shipped"
done
lines=$(wc -l <"$folder/README.txt")
crlf=$(grep -c $'\r$' "$folder/README.txt")
[ "$lines" -gt 10 ] && [ "$lines" = "$crlf" ] || fail "README.txt: $crlf of $lines lines end in CRLF"
grep -q "Password Kestal $version" "$folder/README.txt" || fail "README.txt does not name version $version"

if [ "$runnable" != "$product" ]; then
  bash "$root/scripts/dist.sh" "$runnable" "$work/out" win64 >/dev/null
  rm -rf "$work/unpacked"
  unzip -q "$work/out/password-kestal-$version-win64.zip" -d "$work/unpacked"
  folder="$work/unpacked/password-kestal-$version-win64"
fi
winfolder="Z:$(printf '%s' "$folder" | tr / '\\')"
[ "$("$wine" "$folder/kestal-tool.exe" --version 2>/dev/null | tr -d '\r')" = "kestal-tool $version" ] ||
  fail "kestal-tool.exe --version does not say $version"
printf 'name,url,username,password\nA,https://a.example,me,pw\n' >"$folder/in.csv"
(cd "$folder" && "$wine" kestal-tool.exe import in.csv . >/dev/null 2>&1) || fail "kestal-tool.exe import"
(cd "$folder" && "$wine" kestal-tool.exe check >"$work/check" 2>&1) || fail "kestal-tool.exe check: $(cat "$work/check")"
grep -q "$(printf '%s' "$winfolder" | sed 's/\\/\\\\/g')" "$work/check" || fail "the settings do not name the unpacked folder"
# The program itself, started from the unpacked folder, finds the record there.
(cd "$folder" && exec "$wine" Kestal.exe) </dev/null >/dev/null 2>&1 &
program=$!
window=""
for _ in $(seq 60); do
  window=$(xdotool search --name "Password Kestal" 2>/dev/null | head -n 1) || true
  [ -z "$window" ] || break
  sleep 0.5
done
[ -n "$window" ] || fail "Kestal.exe showed no window"
sleep 1
"$wine" "$folder/kestal-tool.exe" list "$winfolder" >/dev/null 2>&1 || fail "list beside the running program"
echo "dist: $(basename "$zip") unpacked and both programs run"
