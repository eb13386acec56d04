#!/usr/bin/env bash
# The Windows build of kestal-tool under Wine, where it differs from the native one: the
# mode its private exports get, a full disk, and text on a console; and the letters of all
# nine code pages, which both builds must turn into the same bytes.
#   windows_tool.sh WINDOWS_TOOL NATIVE_TOOL WINE
set -uo pipefail
windows=$1
native=$2
wine=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-windows-tool.XXXXXX")
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
[ -x "$native" ] || { echo "FAILED: the native build ($native) is missing: make test builds it first"; exit 1; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
zeros() { head -c "$1" /dev/zero; }

# One record whose website holds the bytes 0x80-0xBF and whose remarks hold 0xC0-0xFF.
high() { for b in $(seq "$1" "$2"); do printf "\\x$(printf %02x "$b")"; done; }
mkdir "$work/all"
{ high 128 191; zeros 64; printf u; zeros 127; printf u; zeros 63; printf p; zeros 63; high 192 255; zeros 64; } \
  >"$work/all/Kestal.dat"
# Settings that count it and name the folder, in Wine's form, as the program writes them.
{ printf '\x01\x00\x00\x00'; winpath "$work/all/"; } >"$work/all/KSys.dat"
truncate -s 320 "$work/all/KSys.dat"
for cp in 1250 1251 1252 1253 1254 1255 1256 1257 1258; do
  "$native" export "$work/all" --format keepassxc-csv --codepage "$cp" >"$work/n.$cp" 2>/dev/null ||
    fail "native export in Windows-$cp"
  "$wine" "$windows" export "$(winpath "$work/all")" --format keepassxc-csv --codepage "$cp" >"$work/w.$cp" \
    2>/dev/null || fail "Windows export in Windows-$cp"
  cmp -s "$work/n.$cp" "$work/w.$cp" || fail "the two builds read the 128 high bytes of Windows-$cp differently"
done
grep -q "$(printf '\xd7\x90')" "$work/n.1255" || fail "0xE0 of Windows-1255 is not alef"

# Hebrew in, the same bytes out of both builds.
printf 'name,url,username,password,note\n\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d,https://h.example,\xd7\x90,pw,\n' >"$work/he.csv"
mkdir "$work/he-native" "$work/he-windows"
"$native" import "$work/he.csv" "$work/he-native" --codepage 1255 >/dev/null 2>&1 || fail "native Hebrew import"
"$wine" "$windows" import "$(winpath "$work/he.csv")" "$(winpath "$work/he-windows")" --codepage 1255 >/dev/null 2>&1 ||
  fail "Windows Hebrew import"
cmp -s "$work/he-native/Kestal.dat" "$work/he-windows/Kestal.dat" || fail "the Hebrew imports differ"
[ "$(head -c 4 "$work/he-native/Kestal.dat")" = "$(printf '\xf9\xec\xe5\xed')" ] || fail "shalom is not F9 EC E5 ED"

# A folder named in the ANSI code page: the Windows build names it in the settings with the
# same bytes as the native build.
mkdir "$work/Passwörter" "$work/Passwörter-native"
printf 'name,url,username,password,note\nMail,https://mail.example,ann,pw,\n' >"$work/mail.csv"
"$wine" "$windows" import "$(winpath "$work/mail.csv")" "$(winpath "$work/Passwörter")" >/dev/null 2>&1 ||
  fail "Windows import into Passwörter"
"$native" import "$work/mail.csv" "$work/Passwörter-native" >/dev/null 2>&1 || fail "native import"
head -c 260 "$work/Passwörter/KSys.dat" | tail -c 256 | tr -d '\0' >"$work/folder-windows"
{ head -c 260 "$work/Passwörter-native/KSys.dat" | tail -c 256 | tr -d '\0' | head -c -8; printf '\\'; } >"$work/folder-native"
cmp -s "$work/folder-windows" "$work/folder-native" || fail "the Windows build names Passwörter otherwise: $(cat -v "$work/folder-windows")"

# An export file: a new file only the user's account may open. Wine keeps no access list of
# its own and turns the tool's into a Unix mode: no execute bit, nothing for others.
"$wine" "$windows" export "$(winpath "$work/all")" --format browser-csv -o "$(winpath "$work/out.csv")" 2>/dev/null ||
  fail "Windows export to a file"
mode=$(stat -c %a "$work/out.csv" 2>/dev/null || echo missing)
case $mode in
600 | 640) echo "the Windows build's export under Wine: mode $mode" ;;
*) fail "the Windows build's export has mode $mode under Wine, not 600 or 640" ;;
esac
if "$wine" "$windows" list "$(winpath "$work/all")" >/dev/full 2>/dev/null; then
  fail "list to a full disk (/dev/full) succeeded"
elif [ $? != 2 ]; then
  fail "list to a full disk (/dev/full) did not exit 2"
fi

# On a console (Wine gives one to a program on a terminal) é and € arrive as themselves.
if command -v script >/dev/null; then
  printf 'name,url,username,password,note\nCaf\xc3\xa9 \xe2\x82\xac,https://c.example,ann,pw,\n' >"$work/cafe.csv"
  mkdir "$work/cafe"
  "$native" import "$work/cafe.csv" "$work/cafe" >/dev/null
  script -qc "$wine $windows list '$(winpath "$work/cafe")'" /dev/null </dev/null >"$work/tty" 2>&1
  grep -q "$(printf 'Caf\xc3\xa9 \xe2\x82\xac')" "$work/tty" || fail "list on a console does not show 'Café €'"
  # An import's report on a row, on standard error, likewise: Bitwarden's URIs beyond the
  # first are named.
  printf 'folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\n' \
    >"$work/uris.csv"
  printf ',,login,Mail,,,0,"https://a.example,https://caf\xc3\xa9.example/\xe2\x82\xac",ann,pw,\n' >>"$work/uris.csv"
  script -qc "$wine $windows import '$(winpath "$work/uris.csv")' '$(winpath "$work/cafe")'" /dev/null </dev/null \
    >"$work/tty" 2>&1
  grep -q "$(printf 'caf\xc3\xa9.example/\xe2\x82\xac')" "$work/tty" ||
    fail "import's report on a console does not show 'café.example/€'"
fi

[ "$failures" = 0 ] || exit 1
echo "the Windows build: the nine code pages as natively, private exports, a full disk, a console"
