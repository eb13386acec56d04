#!/usr/bin/env bash
# make install: the launcher `password-kestal` and the command-line companion `kestal-tool`
# (the README's way out runs it) in ~/.local/bin, what the launcher runs (Kestal.exe and the
# Wine helper) in ~/.local/lib/password-kestal, and a desktop entry in
# ~/.local/share/applications, so that the program starts from the desktop's menu.
# make uninstall: removes exactly those, never the records (they stay in the program
# folder, ~/.local/share/password-kestal).
#   install.sh install|uninstall
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

bindir=$HOME/.local/bin
libdir=$HOME/.local/lib/password-kestal
appdir=${XDG_DATA_HOME:-$HOME/.local/share}/applications
installed=("$bindir/password-kestal" "$bindir/kestal-tool" "$libdir/kestal-wine.sh" "$libdir/Kestal.exe"
  "$appdir/password-kestal.desktop")

# The Linux kestal-tool: the release build `make install` makes (the bench preset's), or
# else the test build of `make test`.
tool_build() {
  local candidate
  for candidate in "$KESTAL_ROOT/build/bench/cli/kestal-tool" "$KESTAL_ROOT/build/native/cli/kestal-tool"; do
    [ -x "$candidate" ] && { printf '%s' "$candidate"; return 0; }
  done
  return 1
}

# A program path as one argument of a desktop entry's Exec key. The desktop entry
# standard quotes an argument in double quotes, with \ " ` $ escaped by a backslash
# inside; the key's value is a string, whose own escape rule then doubles every backslash;
# and % starts a field code, so a literal one is written %%. Quoting a plain path is allowed
# too, so every path is quoted. A desktop entry holds one line per key: no newline.
desktop_exec_quote() {
  local arg=$1
  arg=${arg//\\/\\\\}
  arg=${arg//\"/\\\"}
  arg=${arg//\`/\\\`}
  arg=${arg//\$/\\\$}
  arg=${arg//\\/\\\\}
  arg=${arg//%/%%}
  printf '"%s"' "$arg"
}

desktop_entry() {
  cat <<ENTRY
[Desktop Entry]
Type=Application
Version=1.0
Name=Password Kestal
GenericName=Password Manager
Comment=Keep website logins in a small database of your own
Exec=$(desktop_exec_quote "$bindir/password-kestal")
Icon=dialog-password
Terminal=false
Categories=Utility;
ENTRY
}

case "${1:-}" in
install)
  exe="$KESTAL_WINDOWS_BUILD/app/Kestal.exe"
  [ -f "$exe" ] || { echo "make install: $exe is missing; run 'make install' from the source tree." >&2; exit 1; }
  tool=$(tool_build) || { echo "make install: kestal-tool is not built; run 'make install' from the source tree." >&2; exit 1; }
  case "$bindir" in *$'\n'*) echo "make install: HOME holds a line break, which a desktop entry cannot name." >&2; exit 1 ;; esac
  mkdir -p "$bindir" "$libdir" "$appdir"
  install -m 0755 "$KESTAL_ROOT/scripts/password-kestal" "$bindir/password-kestal"
  install -m 0755 "$tool" "$bindir/kestal-tool"
  install -m 0644 "$KESTAL_ROOT/scripts/kestal-wine.sh" "$libdir/kestal-wine.sh"
  install -m 0755 "$exe" "$libdir/Kestal.exe"
  desktop_entry >"$appdir/password-kestal.desktop"
  chmod 0644 "$appdir/password-kestal.desktop"
  printf 'installed %s\n' "${installed[@]}"
  case ":$PATH:" in *":$bindir:"*) ;; *) echo "note: $bindir is not in PATH; the desktop entry names the launcher by its full path" ;; esac
  ;;
uninstall)
  rm -f "${installed[@]}"
  rmdir "$libdir" 2>/dev/null || true
  printf 'removed %s\n' "${installed[@]}"
  echo "The records stay in ${KESTAL_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/password-kestal}."
  ;;
*)
  echo "usage: install.sh install|uninstall" >&2
  exit 2
  ;;
esac
