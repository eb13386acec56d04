#!/usr/bin/env bash
# A breached-password list larger than 4 GiB, made as a sparse file (nothing written between
# its two parts, so it takes no disk space): lines at its start, NUL bytes up to 4.5 GiB,
# and lines beyond, all sorted by hash. The i686 build under Wine, and the native one, must
# find the passwords listed beyond 4 GiB by their 64-bit offsets, and must not call a
# password that is not listed "not found": it may have been in the unwritten part.
#   large_list.sh WINDOWS_TOOL NATIVE_TOOL WINE
set -uo pipefail
windows=$1
native=$2
wine=$3
work=$(mktemp -d -t kestal-large-list.XXXXXX)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
[ -x "$native" ] || { echo "FAILED: the native build ($native) is missing: make test builds it first"; exit 1; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
sha1() { printf '%s' "$1" | sha1sum | cut -c1-40 | tr a-f A-F; }

# Six passwords; the two whose hashes sort lowest are listed at the start, the other four
# beyond 4 GiB, each with a count of its own.
passwords=(Sparse-One-1 Sparse-Two-2 Sparse-Three-3 Sparse-Four-4 Sparse-Five-5 Sparse-Six-6)
{
  echo "name,url,username,password,note"
  for i in "${!passwords[@]}"; do echo "Site $i,https://s$i.example,user$i,${passwords[$i]},"; done
} >"$work/in.csv"
mkdir "$work/db"
"$native" import "$work/in.csv" "$work/db" >/dev/null 2>&1 || fail "the native import of the test records"
for i in "${!passwords[@]}"; do echo "$(sha1 "${passwords[$i]}") $i"; done | sort >"$work/hashes"
list="$work/list.txt"
head -n 2 "$work/hashes" | while read -r hash i; do printf '%s:%d\r\n' "$hash" $((1000 + i)); done >"$list"
truncate -s 4608M "$list" || { echo "SKIPPED: truncate cannot make a 4.5 GiB file here"; exit 0; }
tail -n 4 "$work/hashes" | while read -r hash i; do printf '%s:%d\r\n' "$hash" $((1000 + i)); done >>"$list"
size=$(stat -c %s "$list")
used=$(du -k "$list" | cut -f1)
if [ "$used" -gt 65536 ]; then
  echo "SKIPPED: this file system stores no sparse files ($used KiB used for $size bytes)"
  exit 0
fi
[ "$size" -gt 4294967296 ] || fail "the list is only $size bytes"

# Every password is listed: each is exposed with its own count, exit 1.
check() { # name, status, output
  [ "$2" = 1 ] || fail "$1: exit $2, not 1"
  for i in "${!passwords[@]}"; do
    grep -q "^$i	Site $i	user$i	exposed: in the list of breached passwords, seen $((1000 + i)) times\$" "$3" ||
      fail "$1: record $i (listed $(grep -n " $i\$" "$work/hashes" | cut -d: -f1) of 6) not found exposed"
  done
}
"$native" audit "$work/db" --hibp "$list" >"$work/native.out" 2>"$work/native.err"
check "native" $? "$work/native.out"
"$wine" "$windows" audit "$(winpath "$work/db")" --hibp "$(winpath "$list")" >"$work/windows.out" 2>"$work/windows.err"
check "Windows build under Wine" $? "$work/windows.out"
tr -d '\r' <"$work/windows.out" | cmp -s - "$work/native.out" || fail "the two builds' findings differ"

# A seventh password, listed nowhere: its absence cannot be vouched for, exit 2.
echo "Site 6,https://s6.example,user6,Sparse-Unlisted-7," >"$work/more.csv"
sed -i '1i name,url,username,password,note' "$work/more.csv"
"$native" import "$work/more.csv" "$work/db" >/dev/null 2>&1 || fail "the native import of the seventh record"
"$wine" "$windows" audit "$(winpath "$work/db")" --hibp "$(winpath "$list")" >"$work/windows.out" 2>"$work/windows.err"
status=$?
[ $status = 2 ] || fail "with an unlisted password: exit $status, not 2"
grep -q "1 of the passwords could not be looked up: the file holds NUL bytes at offset" "$work/windows.err" ||
  fail "with an unlisted password: no word of the NUL bytes ($(cat "$work/windows.err"))"
[ "$(grep -c exposed "$work/windows.out")" = 6 ] || fail "with an unlisted password: the six listed ones are not all shown"

[ "$failures" = 0 ] || exit 1
echo "a sparse list of $size bytes: the passwords beyond 4 GiB found by both builds"
