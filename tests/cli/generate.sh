#!/usr/bin/env bash
# generate as a user meets it: lengths, the kinds of character each password holds, the
# options that leave characters out, the limits, and a chi-square test over 100 000
# characters that no character is favoured (a draw with modulo bias fails it by far).
#   generate.sh TOOL [WINE]
set -uo pipefail
tool=$1
wine=${2:-}
work=$(mktemp -d -t kestal-generate.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
run() { if [ -n "$wine" ]; then "$wine" "$tool" generate "$@"; else "$tool" generate "$@"; fi; }

# Each line LENGTH characters of the set, holding each kind; the lines all different when
# they are long enough for a repeat to mean a fault (of length 4 there are only about five
# million passwords: 300 of them repeat one about once in a hundred runs).
check() { # what, file, length, count, set (a grep bracket expression), kinds...
  local what=$1 file=$2 length=$3 count=$4 set=$5 kind
  shift 5
  [ "$(wc -l <"$file")" = "$count" ] || fail "$what: $(wc -l <"$file") lines, not $count"
  LC_ALL=C grep -q $'\r' "$file" && fail "$what: a carriage return in the output"
  local wrong
  wrong=$(LC_ALL=C grep -vxE "[$set]{$length}" "$file" | head -3)
  [ -z "$wrong" ] || fail "$what: $wrong"
  for kind in "$@"; do
    [ "$(LC_ALL=C grep -c "[$kind]" "$file")" = "$count" ] || fail "$what: not every password holds one of [$kind]"
  done
  [ "$length" -lt 8 ] || [ "$(sort -u "$file" | wc -l)" = "$count" ] || fail "$what: the same password twice"
}
# The 94 printable ASCII characters but the space, as a bracket expression.
all="]a-zA-Z0-9!\"#\$%&'()*+,./:;<=>?@[\\^_\`{|}~-"
run >"$work/one" || fail "generate: exit $?"
check "generate" "$work/one" 20 1 "$all" a-z A-Z 0-9
LC_ALL=C grep -q '[^a-zA-Z0-9]' "$work/one" || fail "generate: no symbol"
run --length 4 --count 300 >"$work/four" || fail "--length 4: exit $?"
check "--length 4" "$work/four" 4 300 "$all" a-z A-Z 0-9
[ "$(LC_ALL=C grep -c '[^a-zA-Z0-9]' "$work/four")" = 300 ] || fail "--length 4: a password without a symbol"
run --length 3 --no-symbols >"$work/three" || fail "--no-symbols --length 3: exit $?"
check "--no-symbols --length 3" "$work/three" 3 1 "a-zA-Z0-9" a-z A-Z 0-9
run --length 8 --count 300 --no-symbols >"$work/eight" || fail "--no-symbols: exit $?"
check "--no-symbols" "$work/eight" 8 300 "a-zA-Z0-9" a-z A-Z 0-9
run --length 62 --count 300 --no-lookalikes >"$work/plain" || fail "--no-lookalikes: exit $?"
check "--no-lookalikes" "$work/plain" 62 300 "$all" a-z A-Z 0-9
LC_ALL=C grep -q '[Il1|O0o]' "$work/plain" && fail "--no-lookalikes: one of I l 1 | O 0 o"
for bad in "--length 63" "--length 3" "--length 2 --no-symbols" "--count 0"; do
  # shellcheck disable=SC2086
  run $bad >"$work/bad" 2>/dev/null
  status=$?
  [ $status = 2 ] || fail "generate $bad: exit $status, not 2"
  [ -s "$work/bad" ] && fail "generate $bad: printed a password"
done

# 1613 passwords of 62: 100 006 characters over 94 (the kinds each password must hold shift
# the shares by less than 0.1 % at this length). 173 is the 99.9999th percentile of
# chi-square with 93 degrees of freedom.
run --length 62 --count 1613 >"$work/many" || fail "--count 1613: exit $?"
LC_ALL=C fold -w1 "$work/many" | LC_ALL=C sort | LC_ALL=C uniq -c >"$work/counts"
read -r kinds chi < <(awk '{ n[NR] = $1; total += $1 } END {
    e = total / 94; for (i = 1; i <= NR; i++) chi += (n[i] - e) ^ 2 / e; printf "%d %.1f\n", NR, chi }' "$work/counts")
[ "$kinds" = 94 ] || fail "chi-square: $kinds different characters, not 94"
awk -v chi="$chi" 'BEGIN { exit !(chi < 173) }' || fail "chi-square: $chi over 94 characters (at most 173)"

[ "$failures" = 0 ] || exit 1
echo "generate: lengths, kinds, options and limits; chi-square $chi over 94 characters"
