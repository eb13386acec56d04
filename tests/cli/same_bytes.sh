#!/usr/bin/env bash
# The Windows build of kestal-tool, run under Wine, writes exactly the bytes of the native
# build: every export format, to standard output and to a file, and the database an import
# makes.
#   same_bytes.sh WINDOWS_TOOL NATIVE_TOOL WINE
set -uo pipefail
windows=$1
native=$2
wine=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-same-bytes.XXXXXX")
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
[ -x "$native" ] || { echo "FAILED: the native build ($native) is missing: make test builds it first"; exit 1; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Text with quotes, commas, markup, line breaks and Windows-1252 letters.
printf '\xef\xbb\xbf"name","url","username","password","note"\r\n' >"$work/in.csv"
printf '"Caf\xc3\xa9 \xe2\x82\xac, ""q""","https://a.example/?x=1&y=<2>","ann","p,w","two\nlines"\r\n' >>"$work/in.csv"
printf ',"https://host.example:8080/x","bob","pw",""\r\n"]]> end","https://c.example","c\tt","x","y"' >>"$work/in.csv"
mkdir "$work/native" "$work/windows"
"$native" import "$work/in.csv" "$work/native" >/dev/null || fail "the native import"
"$wine" "$windows" import "$(winpath "$work/in.csv")" "$(winpath "$work/windows")" >/dev/null 2>&1 || fail "the Windows import"
cmp -s "$work/native/Kestal.dat" "$work/windows/Kestal.dat" || fail "the two imports differ"

for format in keepass-xml keepassxc-csv bitwarden-csv browser-csv; do
  "$native" export "$work/native" --format "$format" >"$work/n.$format" 2>/dev/null || fail "native export $format"
  "$wine" "$windows" export "$(winpath "$work/native")" --format "$format" >"$work/w.$format" 2>/dev/null ||
    fail "Windows export $format"
  cmp -s "$work/n.$format" "$work/w.$format" || fail "$format differs on standard output"
  "$wine" "$windows" export "$(winpath "$work/native")" --format "$format" --output "$(winpath "$work/f.$format")" \
    2>/dev/null || fail "Windows export $format to a file"
  cmp -s "$work/n.$format" "$work/f.$format" || fail "$format differs in a file"
done
if grep -q $'\r' "$work/w.keepass-xml"; then
  fail "the Windows build wrote carriage returns"
fi
[ "$failures" = 0 ] || exit 1
echo "the Windows build writes the native build's bytes: 4 formats, standard output and files, and the import"
