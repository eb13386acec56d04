# Sourced by the project's Wine scripts and by the installed launcher: which Wine this host
# can run, and the look of a prefix. Needs nothing from the source tree, so `make install`
# can put it beside the launcher.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers on first start

# The product is a 32-bit program, run by Wine's 32-bit half. Some hosts' kernels execute
# 64-bit code only (a 32-bit execve fails with "Exec format error"); there the Windows code
# is built for x86_64 as well and run by the 64-bit loader. KESTAL_WINE_BITS says which, and
# KESTAL_WINE is the loader to start a program with (`exec` bypasses the functions below).
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  KESTAL_WINE_BITS=32
  KESTAL_WINE=wine
  export WINEARCH=win32
else
  KESTAL_WINE_BITS=64
  export WINEARCH=win64
  # Debian's `wine` and `wineboot` scripts pick the 32-bit loader whenever it is installed.
  export WINELOADER=/usr/lib/wine/wine64
  KESTAL_WINE=$WINELOADER
  wine() { "$WINELOADER" "$@"; }
  wineboot() { "$WINELOADER" wineboot.exe "$@"; }
fi

# The Windows classic look, the one the pages and the screenshots were laid out in: Wine's
# light theme only approximates a current Windows, and the classic colours are Wine's
# closest match to the look of the program's dialogs. (The program draws right in the light
# theme too: its pages take the tab's themed body; `make screenshots` with
# KESTAL_SHOT_THEME=light shows it.)
# Wine draws the window frames and title bars itself (Decorated=N), as Windows does: a
# message box is sized for Wine's caption font and its one close box, and a window manager's
# title bar, with its own font and three buttons, cut the title of a narrow box
# ("Pas...stal"). Wine's message box is as wide as its text and buttons, never as wide as its
# title, as Windows makes it: in the bold caption font "Password Kestal" needs 96 pixels and
# the narrowest box ("Database saved") leaves 86, so the caption font is Tahoma 8 point
# regular (LOGFONTW: height -11, weight 400), which needs fewer.
kestal_look_reg() {
  cat <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]
"CaptionFont"=hex:f5,ff,ff,ff,00,00,00,00,00,00,00,00,00,00,00,00,90,01,00,\
  00,00,00,00,00,00,00,00,00,54,00,61,00,68,00,6f,00,6d,00,61,00,00,00,00,\
  00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\
  00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00

[HKEY_CURRENT_USER\Control Panel\Colors]
"ActiveBorder"="212 208 200"
"ActiveTitle"="10 36 106"
"AppWorkSpace"="128 128 128"
"Background"="58 110 165"
"ButtonAlternateFace"="181 181 181"
"ButtonDkShadow"="64 64 64"
"ButtonFace"="212 208 200"
"ButtonHilight"="255 255 255"
"ButtonLight"="212 208 200"
"ButtonShadow"="128 128 128"
"ButtonText"="0 0 0"
"GradientActiveTitle"="166 202 240"
"GradientInactiveTitle"="192 192 192"
"GrayText"="128 128 128"
"Hilight"="10 36 106"
"HilightText"="255 255 255"
"HotTrackingColor"="0 0 128"
"InactiveBorder"="212 208 200"
"InactiveTitle"="128 128 128"
"InactiveTitleText"="212 208 200"
"InfoText"="0 0 0"
"InfoWindow"="255 255 225"
"Menu"="212 208 200"
"MenuBar"="212 208 200"
"MenuHilight"="10 36 106"
"MenuText"="0 0 0"
"Scrollbar"="212 208 200"
"TitleText"="255 255 255"
"Window"="255 255 255"
"WindowFrame"="0 0 0"
"WindowText"="0 0 0"
EOF
}

# Gives the prefix in WINEPREFIX (already booted) the fonts and colours the pages were laid
# out with, once. A new prefix's Fonts folder is empty, so "MS Sans Serif" and "Tahoma"
# fall back to a wider face that clips labels: links to the fonts Wine ships give its own
# bitmap MS Sans Serif. Links and registry values survive `wineboot -u`. Sets
# KESTAL_LOOK_APPLIED=1 when it did the work now: the colours take effect when the prefix's
# Wine desktop starts again.
kestal_prefix_look() {
  local stamp="$WINEPREFIX/.kestal-look-3" fonts="$WINEPREFIX/drive_c/windows/Fonts" f reg
  KESTAL_LOOK_APPLIED=
  [ ! -f "$stamp" ] || return 0
  KESTAL_LOOK_APPLIED=1
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf; do
    [ -e "$f" ] || continue
    [ -e "$fonts/$(basename "$f")" ] || ln -s "$f" "$fonts/"
  done
  reg="$WINEPREFIX/drive_c/kestal-look.reg"
  kestal_look_reg >"$reg"
  wine regedit /S 'C:\kestal-look.reg' </dev/null >/dev/null 2>&1
  rm -f "$reg"
  touch "$stamp"
}

# The process id of the running wineserver of WINEPREFIX, or nothing when none runs.
kestal_server_pid() {
  local pid
  for pid in $(pgrep -x 'wineserver|wineserver32|wineserver64' 2>/dev/null); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      printf '%s\n' "$pid"
      return 0
    fi
  done
}

# Names the running wineserver of WINEPREFIX for as long as it runs: its process id and
# start time (a later process can get the same id, never the same id and start time). Nothing
# when none runs.
kestal_server_id() {
  local pid stat
  pid=$(kestal_server_pid)
  [ -n "$pid" ] || return 0
  stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 0
  # The start time is the 22nd field; the name before it, in parentheses, holds no space.
  printf '%s %s\n' "$pid" "$(cut -d' ' -f22 <<<"$stat")"
}

# The umask of the running wineserver of WINEPREFIX (files are created by the server, so
# its umask decides their mode), or nothing when none runs.
kestal_server_umask() {
  local pid
  pid=$(kestal_server_pid)
  [ -z "$pid" ] || sed -n 's/^Umask:[[:space:]]*//p' "/proc/$pid/status" 2>/dev/null
  return 0
}

# Whether the Windows program name (Kestal.exe, kestal-tool.exe) runs in the prefix in
# WINEPREFIX. Told by the image the process has mapped, in any letter case, not by its
# command line: started by name from a command prompt ("kestal-tool import ...") a program's
# command line need not hold its file name at all. The processes of the prefix are picked
# first, with shell built-ins only: a command run for every process of the host took
# seconds on a busy machine.
kestal_prefix_runs() {
  local proc pattern="/${1//./\\.}\$"
  for proc in /proc/[0-9]*; do
    kestal_in_prefix "$proc" && grep -qiE "$pattern" "$proc/maps" 2>/dev/null && return 0
  done
  return 1
}

# Whether the process /proc/PID runs with WINEPREFIX in its environment.
kestal_in_prefix() {
  local entry entries=()
  mapfile -d '' entries 2>/dev/null <"$1/environ" || return 1
  for entry in "${entries[@]}"; do
    [ "$entry" != "WINEPREFIX=$WINEPREFIX" ] || return 0
  done
  return 1
}

# The project's other Windows program, which a user may run in the program's prefix at any
# time (kestal-tool.exe import, export, recover): stopping the prefix's server would end it
# half-way.
KESTAL_TOOL_EXE=kestal-tool.exe

# Waits until no kestal-tool.exe runs in the prefix in WINEPREFIX, up to seconds; says once
# on standard error what it waits for. Returns 1 when one still runs then.
kestal_wait_for_tool() {
  local seconds=$1 said="" tenths=0
  while kestal_prefix_runs "$KESTAL_TOOL_EXE"; do
    if [ -z "$said" ]; then
      echo "password-kestal: waiting for $KESTAL_TOOL_EXE to finish in $WINEPREFIX" >&2
      said=1
    fi
    [ "$tenths" -lt $((seconds * 10)) ] || return 1
    sleep 0.1
    tenths=$((tenths + 1))
  done
}

# The Windows form of a Linux folder, as the program sees it through Wine's Z: drive, with
# its trailing backslash.
kestal_windows_folder() {
  local folder=${1%/}/
  printf 'Z:%s' "${folder//\//\\}"
}

# The ANSI code page Wine gives the programs of WINEPREFIX in this environment (it follows
# the locale): 1252 for most, 1255 for Hebrew, ... Wine writes it into the registry as each
# program starts. The answer goes through a file: a Wine that starts its services now would
# hand them a pipe, and a command substitution would wait for them to end.
kestal_ansi_codepage() {
  local answer
  answer=$(mktemp "${TMPDIR:-/tmp}/kestal-acp.XXXXXX")
  wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP </dev/null >"$answer" 2>/dev/null
  tr -d '\r' <"$answer" | sed -n 's/^ *ACP *REG_SZ *\([0-9][0-9]*\).*/\1/p'
  rm -f "$answer"
}
