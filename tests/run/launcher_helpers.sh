# Sourced by the launcher's tests: the program's window, and a kestal-tool.exe held running
# in a prefix. The caller sets work (a scratch folder), prefix (the Wine prefix), tool (the
# path of kestal-tool.exe) and held (empty), and defines fail.

window_of_program() {
  xdotool search --name "Password Kestal" 2>/dev/null | head -n 1 || true
}

# Waits up to seconds for the window; prints its id.
wait_for_window() {
  local window="" _
  for _ in $(seq $(($1 * 4))); do
    window=$(window_of_program)
    [ -z "$window" ] || break
    sleep 0.25
  done
  printf '%s' "$window"
}

# Starts kestal-tool.exe importing a CSV into folder in the prefix's running server and stops
# it as soon as Wine has mapped the program, that is, once it runs in the server. Sets held.
hold_tool() {
  local folder=$1 _ pid
  printf 'name,url,username,password\nHeld,https://held.example,me,pw\n' >"$work/in.csv"
  for _ in $(seq 10); do
    rm -f "$folder/KSys.dat" "$folder/Kestal.dat"
    (cd "$work" && WINEPREFIX=$prefix exec "$KESTAL_WINE" "$tool" import in.csv "$(kestal_windows_folder "$folder")") \
      </dev/null >"$work/tool.log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null && ! grep -q "$(basename "$tool")" "/proc/$pid/maps" 2>/dev/null; do
      sleep 0.005
    done
    kill -STOP "$pid" 2>/dev/null || true
    if [ ! -f "$folder/Kestal.dat" ] && kill -0 "$pid" 2>/dev/null; then
      held=$pid
      return 0
    fi
    kill -CONT "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true # it finished first: once more
  done
  fail "kestal-tool.exe could not be held while running"
}

# Lets the held tool go on; it must finish its import with success.
release_tool() {
  local folder=$1 status=0
  kill -CONT "$held"
  wait "$held" || status=$?
  held=""
  [ "$status" = 0 ] || fail "kestal-tool.exe ended with status $status: $(cat "$work/tool.log")"
  [ "$(head -c 4 "$folder/Kestal.dat" 2>/dev/null)" = Held ] || fail "kestal-tool.exe imported nothing"
}
