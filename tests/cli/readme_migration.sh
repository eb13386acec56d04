#!/usr/bin/env bash
# The README's two ways out to KeePassXC, run exactly as written there: their lines are taken from
# README.md and run one by one in a throwaway HOME holding a database, with the real
# keepassxc-cli, the new database's password typed on standard input. The entries must then
# be in the KeePassXC database, and the clear files gone.
#   readme_migration.sh KESTAL_TOOL README.md
set -uo pipefail
tool=$(realpath "$1")
readme=$2
command -v keepassxc-cli >/dev/null || { echo "keepassxc-cli is missing (Debian: keepassxc)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kestal-readme.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# Runs the indented block after the first line matching PATTERN, up to its first blank
# line, in a fresh HOME holding a database of two logins.
run_block() {
  local pattern=$1 name=$2 steps step status title gone
  mapfile -t steps < <(awk -v p="$pattern" '$0 ~ p { on = 1; next }
                            on && /^    / { sub(/^    /, ""); print; seen = 1; next }
                            on && seen { exit }' "$readme")
  [ "${#steps[@]}" -ge 4 ] || { echo "FAILED: the README's $name steps were not found"; failures=$((failures + 1)); return; }
  rm -rf "$work/home" "$work/bin"
  mkdir -p "$work/home/.local/share/password-kestal" "$work/bin"
  ln -s "$tool" "$work/bin/kestal-tool"
  printf 'name,url,username,password,note\nMail,https://mail.example,ann,s3cret,first\nBank,https://bank.example,bob,pw,\n' \
    >"$work/in.csv"
  (HOME="$work/home" PATH="$work/bin:$PATH" kestal-tool import "$work/in.csv" "$work/home/.local/share/password-kestal" >/dev/null) ||
    { echo "FAILED: setup"; failures=$((failures + 1)); return; }
  echo "# $name"
  for step in "${steps[@]}"; do
    # Every password prompt of the steps (kestal-tool's and keepassxc-cli's) reads a line.
    (cd "$work/home" && printf 'correct horse\ncorrect horse\n' |
       HOME="$work/home" PATH="$work/bin:$PATH" bash -c "$step") >"$work/out" 2>"$work/err"
    status=$?
    echo "\$ $step  -> exit $status"
    if [ "$status" != 0 ]; then
      sed 's/^/  /' "$work/err"
      failures=$((failures + 1))
    fi
    case "$step" in
    "keepassxc-cli ls"*)
      for title in Mail Bank; do
        grep -qx "$title" "$work/out" || { echo "FAILED: $title is not listed"; failures=$((failures + 1)); }
      done ;;
    esac
  done
  ls "$work/home"/*.kdbx >/dev/null 2>&1 || { echo "FAILED: no KeePassXC database"; failures=$((failures + 1)); }
  for gone in "$work/home/kestal.xml" "$work/home/.local/share/password-kestal/Kestal.dat" \
              "$work/home/.local/share/password-kestal/KSys.dat"; do
    [ ! -e "$gone" ] || { echo "FAILED: $gone is still there"; failures=$((failures + 1)); }
  done
}

run_block '^Moving to KeePassXC or another manager' "encrypted way out"
run_block 'which must be deleted afterwards:$' "way out through a file in clear"
[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
echo "the README's migration: all passed"
