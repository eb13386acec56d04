#!/usr/bin/env bash
# The README's way out to KeePassXC, run exactly as written there: its lines are taken from
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
mkdir -p "$work/home/.local/share/password-kestal" "$work/bin"
ln -s "$tool" "$work/bin/kestal-tool"
export HOME="$work/home" PATH="$work/bin:$PATH"

# The block after the line that introduces it: its indented lines, up to the first blank one.
mapfile -t steps < <(awk '/^A worked migration to KeePassXC/ { on = 1; next }
                          on && /^    / { sub(/^    /, ""); print; seen = 1; next }
                          on && seen { exit }' "$readme")
[ "${#steps[@]}" -ge 4 ] || { echo "FAILED: the README's migration steps were not found"; exit 1; }

printf 'name,url,username,password,note\nMail,https://mail.example,ann,s3cret,first\nBank,https://bank.example,bob,pw,\n' \
  >"$work/in.csv"
kestal-tool import "$work/in.csv" "$HOME/.local/share/password-kestal" >/dev/null || { echo "FAILED: setup"; exit 1; }

failures=0
cd "$HOME" || exit 1
for step in "${steps[@]}"; do
  # keepassxc-cli asks for the new password twice on import, once to open the database.
  printf 'correct horse\ncorrect horse\n' | bash -c "$step" >"$work/out" 2>"$work/err"
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
ls "$HOME"/*.kdbx >/dev/null 2>&1 || { echo "FAILED: no KeePassXC database"; failures=$((failures + 1)); }
for gone in "$HOME/kestal.xml" "$HOME/.local/share/password-kestal/Kestal.dat" "$HOME/.local/share/password-kestal/KSys.dat"; do
  [ ! -e "$gone" ] || { echo "FAILED: $gone is still there"; failures=$((failures + 1)); }
done
[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
echo "the README's migration: all passed"
