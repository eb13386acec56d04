#!/usr/bin/env bash
# export --format kdbx as a user meets it, with keepassxc-cli as the reader: 1024 records
# (Windows-1252 letters, XML specials, empty websites) opened with the password and read
# back as the native build's own CSV export; a wrong password refused; nothing in clear; a
# private file, never replaced without --force; standard output; the password typed twice
# on a terminal without echo, and refused when empty or when the two differ, with nothing
# written, and never at the test cost. The key derivation runs at its test cost
# (KESTAL_TEST_KDF=fast), but for the password typed on a terminal.
#   kdbx.sh TOOL                        the native build
#   kdbx.sh WINDOWS_TOOL NATIVE_TOOL WINE   the Windows build under Wine
set -uo pipefail
tool=$1
native=${2:-$1}
wine=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-kdbx.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
export KESTAL_TEST_KDF=fast
where() { if [ -n "$wine" ]; then printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; else printf '%s' "$1"; fi; }
run() { if [ -n "$wine" ]; then "$wine" "$tool" "$@"; else "$tool" "$@"; fi; }
command -v keepassxc-cli >/dev/null || { echo "FAILED: keepassxc-cli is missing (Debian: keepassxc)"; exit 1; }
# KeePassXC's CSV without its two time columns, which are the export's moment.
untimed() { sed -E 's/,"[^"]*","[^"]*"$//' "$1"; }

# 1024 records imported by the native build from Windows-1252-worthy UTF-8; every seventh
# has no website.
awk 'BEGIN {
  print "name,url,username,password,note"
  for (i = 0; i < 1024; i++) {
    name = (i % 7 == 3) ? "" : "\"Site " i " caf\xc3\xa9 & <b> \"\"q\"\"\""
    printf "%s,https://h%d.example/p?a=1&b=2,user%d \xc3\xbc,\"p\"\"w<&>%d \xe2\x82\xac\",note %d \xc3\xa9 ]]>\n", name, i, i, i, i
  }
}' >"$work/in.csv"
mkdir "$work/db"
"$native" import "$work/in.csv" "$work/db" >/dev/null 2>&1 || fail "the native import of 1024 records"
"$native" export "$work/db" --format keepassxc-csv -o "$work/expected.csv" 2>/dev/null || fail "the CSV export"

db=$(where "$work/db")
printf 'pw one\n' | run export "$db" --format kdbx -o "$(where "$work/out.kdbx")" 2>"$work/err" ||
  fail "export --format kdbx: exit $?: $(cat "$work/err")"
grep -qi "delete" "$work/err" && fail "the encrypted export reminds to delete it: $(cat "$work/err")"
echo 'pw one' | keepassxc-cli export -q -f csv "$work/out.kdbx" >"$work/back.csv" 2>"$work/kerr" ||
  fail "keepassxc-cli did not open the export: $(cat "$work/kerr")"
cmp -s <(untimed "$work/back.csv") <(untimed "$work/expected.csv") ||
  fail "keepassxc-cli reads other fields than the CSV export holds: $(diff <(untimed "$work/back.csv") <(untimed "$work/expected.csv") | head -5)"
[ "$(wc -l <"$work/back.csv")" = 1025 ] || fail "keepassxc-cli lists $(wc -l <"$work/back.csv") lines, not 1025"
echo 'pw two' | keepassxc-cli ls -q "$work/out.kdbx" >/dev/null 2>&1 && fail "keepassxc-cli opened the export with a wrong password"
info=$(echo 'pw one' | keepassxc-cli db-info -q "$work/out.kdbx" 2>/dev/null)
grep -q '^Cipher: AES 256-bit' <<<"$info" || fail "db-info does not name AES-256: $info"
for clear in .example 'user0 ' 'Site 10' 'note 10' 'café' 'p"w<&>'; do
  LC_ALL=C grep -aqF "$clear" "$work/out.kdbx" && fail "'$clear' is in the export in clear"
done
mode=$(stat -c %a "$work/out.kdbx")
case $mode in
600) ;;
640) [ -n "$wine" ] || fail "the export has mode 640" ;;
*) fail "the export has mode $mode" ;;
esac
[ "$(ls "$work")" = "$(printf 'back.csv\ndb\nerr\nexpected.csv\nin.csv\nkerr\nout.kdbx')" ] ||
  fail "other files were left: $(ls "$work" | tr '\n' ' ')"

# Refused, with nothing written and a message naming the password: no line, an empty line,
# bytes that are not UTF-8 (KeePassXC could never be given them), an overlong line; an
# existing file is kept without --force, before any password is asked.
refused() { # what, expected exit, message pattern, stdin text, arguments...
  local what=$1 status=$2 pattern=$3 input=$4
  shift 4
  printf '%s' "$input" | run export "$db" --format kdbx "$@" >"$work/stdout" 2>"$work/err"
  local got=$?
  [ "$got" = "$status" ] || fail "$what: exit $got, not $status"
  grep -qi "$pattern" "$work/err" || fail "$what: the message does not say '$pattern': $(cat "$work/err")"
}
refused "no password" 2 "password is empty" "" -o "$(where "$work/none.kdbx")"
refused "an empty line" 2 "password is empty" $'\n' -o "$(where "$work/none.kdbx")"
refused "an empty CRLF line" 2 "password is empty" $'\r\nsecond\n' -o "$(where "$work/none.kdbx")"
refused "only a byte order mark" 2 "password is empty" $'\xef\xbb\xbf\n' -o "$(where "$work/none.kdbx")"
refused "a password in Windows-1252" 2 "password is not UTF-8" $'caf\xe9\n' -o "$(where "$work/none.kdbx")"
refused "a password over 1024 bytes" 2 "password is longer" "$(head -c 1025 /dev/zero | tr '\0' x)" -o "$(where "$work/none.kdbx")"
[ -e "$work/none.kdbx" ] && fail "a refused export left a file"
ls "$work" | grep -q tmp && fail "a refused export left a temporary file"
cp "$work/out.kdbx" "$work/kept.kdbx"
refused "an existing file" 2 "exists" $'pw\n' -o "$(where "$work/kept.kdbx")"
cmp -s "$work/out.kdbx" "$work/kept.kdbx" || fail "an existing file was replaced without --force"
printf 'pw three\n' | run export "$db" --format kdbx -o "$(where "$work/kept.kdbx")" --force 2>/dev/null ||
  fail "--force did not replace the file"
echo 'pw three' | keepassxc-cli ls -q "$work/kept.kdbx" >/dev/null 2>&1 || fail "the replaced file does not open"
KESTAL_TEST_KDF=slow refused "an unknown test cost" 2 "KESTAL_TEST_KDF" $'pw\n' -o "$(where "$work/none.kdbx")"

# Standard output, into a pipe: the same database.
printf 'pw four\r\n' | run export "$db" --format kdbx -o - >"$work/piped.kdbx" 2>/dev/null || fail "export -o -"
listed=$(echo 'pw four' | keepassxc-cli ls -q "$work/piped.kdbx" 2>/dev/null)
grep -q 'Site 1 ' <<<"$listed" ||
  fail "the database on standard output (its password ending in CRLF) does not open"

# Into the null device, a character device that is not a terminal (NUL on Windows).
printf 'pw\n' | run export "$db" --format kdbx -o - >/dev/null 2>"$work/err" ||
  fail "export -o - into the null device: $(cat "$work/err")"

# A password file saved with a UTF-8 byte order mark: the mark is not part of the password.
printf '\xef\xbb\xbfpw five\r\n' | run export "$db" --format kdbx -o - >"$work/bom.kdbx" 2>/dev/null || fail "export with a byte order mark"
echo 'pw five' | keepassxc-cli ls -q "$work/bom.kdbx" >/dev/null 2>&1 ||
  fail "the password after a byte order mark does not open the export"

# On a terminal: asked twice, never shown; two entries that differ are refused. The
# entries are typed once the prompt is there, as a person types them. A typed password
# never gets the test cost: with KESTAL_TEST_KDF set the export is refused, so these run
# without it, at the build's own cost.
if command -v script >/dev/null; then
  on_terminal() { # output, what the terminal waits for before it ends, [VARIABLE=VALUE]; standard input: the keys
    local quoted
    quoted=$(printf '%q ' env -u KESTAL_TEST_KDF ${3:+"$3"} ${wine:+"$wine"} "$tool" export "$db" --format kdbx -o "$(where "$1")")
    { cat; for _ in $(seq 300); do grep -qE "$2" "$work/tty" 2>/dev/null && break; sleep 0.1; done; } |
      script -qefc "$quoted" /dev/null >"$work/tty" 2>&1
  }
  typed() { # first, second, output
    for line in "$1" "$2"; do
      for _ in $(seq 100); do
        grep -q "$([ "$line" = "$1" ] && echo 'Password for' || echo 'Repeat')" "$work/tty" 2>/dev/null && break
        sleep 0.1
      done
      printf '%s\r' "$line"
    done | on_terminal "$3" 'records exported|differ|nothing was written'
  }
  : >"$work/tty"
  typed 'secret typed' 'secret typed' "$work/tty.kdbx"
  echo 'secret typed' | keepassxc-cli ls -q "$work/tty.kdbx" >/dev/null 2>&1 ||
    fail "the password typed twice on a terminal does not open the export: $(tr -d '\r' <"$work/tty")"
  grep -q 'secret' "$work/tty" && fail "the password was shown on the terminal"
  grep -q 'Repeat the password' "$work/tty" || fail "the password was not asked twice"
  grep -q 'for tests only' "$work/tty" && fail "a typed password got the test cost: $(tr -d '\r' <"$work/tty")"
  : >"$work/tty"
  typed 'secret one' 'secret two' "$work/differ.kdbx"
  [ -e "$work/differ.kdbx" ] && fail "two different entries wrote a file"
  grep -q 'the two passwords differ' "$work/tty" || fail "two different entries: $(tr -d '\r' <"$work/tty")"
  : >"$work/tty"
  on_terminal "$work/weak.kdbx" 'nothing was written' KESTAL_TEST_KDF=fast </dev/null
  [ -e "$work/weak.kdbx" ] && fail "KESTAL_TEST_KDF gave a password typed on a terminal the test cost"
  grep -q 'KESTAL_TEST_KDF is set' "$work/tty" || fail "KESTAL_TEST_KDF on a terminal: $(tr -d '\r' <"$work/tty")"
fi

[ "$failures" = 0 ] || exit 1
echo "export --format kdbx: 1024 records through keepassxc-cli, refusals, standard output, a terminal"
