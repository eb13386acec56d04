#!/usr/bin/env bash
# Prints one table of medians (with min and max) and the ratios to their floors, all
# measured in this run: the store natively with Google Benchmark, the real program under
# Wine (start-up, list fill, save at close), and kestal-tool audit's look-up beside
# keepassxc-cli's. Also writes it to build/bench/table.md.
# KESTAL_BENCH_PART=audit (make bench-audit) runs kestal-tool's parts alone (audit, export,
# import), and KESTAL_BENCH_PART=startup the program's start-ups under Wine alone.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
part=${KESTAL_BENCH_PART:-all}

runs=${BENCH_RUNS:-21}
out="$KESTAL_ROOT/build/bench"
rows="$out/rows.txt"
mkdir -p "$out"
: >"$rows"

# 1024 records against generated lists sorted by hash of 1, 2 and 4 million lines (written
# into build/bench/audit and deleted after), warm cache; the peer reads the whole list on
# each run, so it runs fewer times.
bench_audit() {
  echo "bench: kestal-tool audit --hibp beside keepassxc-cli analyze --hibp (native)" >&2
  "$out/bench/kestal_bench_audit" "$out/cli/kestal-tool" "$out/audit" "$runs" "${BENCH_PEER_RUNS:-7}" >>"$rows"
}

# Google Benchmark programs of the native build, one ROW per measurement.
bench_native() {
  for program in "$@"; do
    "$out/bench/$program" --benchmark_format=csv 2>/dev/null |
      awk -F, '/_(median|min|max)"/ {
          name = $1; gsub(/"/, "", name); sub(/^BM_/, "", name)
          stat = name; sub(/.*_/, "", stat); sub(/\/repeats:[0-9]+_[a-z]+$/, "", name); sub(/\/iterations:[0-9]+/, "", name)
          value[name, stat] = $3; if (!(name in seen)) { seen[name] = 1; order[++n] = name }
        }
        END { for (i = 1; i <= n; i++) { k = order[i]; printf "ROW %s %s %s %s\n", k, value[k, "median"], value[k, "min"], value[k, "max"] } }' >>"$rows"
  done
}

if [ "$part" != audit ]; then
  # Always a virtual display of its own: it moves the mouse and takes screenshots.
  KESTAL_USE_DISPLAY= use_virtual_display "$0" "$@"
  wine_build_runnable
fi
if [ "$part" = all ]; then
  echo "bench: store operations and kestal-tool (native)" >&2
  bench_native kestal_bench_store kestal_bench_tool
fi
if [ "$part" != audit ]; then
  echo "bench: the program under Wine ($runs runs each)" >&2
  # A window manager, as on a desktop: without one Wine waits 2 s whenever a window closes.
  openbox >/dev/null 2>&1 &
  wm=$!
  wine_use_prefix bench
  wine_prepare
  for bare in kestal_bare_dialog.exe kestal_bare_pages.exe kestal_bare_list.exe; do
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$bare\\X11 Driver" /v Managed /t REG_SZ /d Y /f \
      </dev/null >/dev/null 2>&1
  done
  wine_server_start
  trap 'wine_server_stop; kill $wm 2>/dev/null || true' EXIT

  win="$KESTAL_WINDOWS_BUILD"
  run="$out/run"
  rm -rf "$run"
  mkdir -p "$run/full" "$run/empty" "$run/bare" "$run/pages" "$run/list" "$run/save"
  cp "$win/app/Kestal.exe" "$win/tools/make_demo.exe" "$run/full/"
  cp "$win/app/Kestal.exe" "$run/empty/"
  cp "$win/bench/kestal_bare_dialog.exe" "$run/bare/"
  cp "$win/bench/kestal_bare_pages.exe" "$run/pages/"
  (cd "$run/full" && wine make_demo.exe 1024 </dev/null >/dev/null)
  # The list floor reads the same settings, which name the same database.
  cp "$win/bench/kestal_bare_list.exe" "$run/full/KSys.dat" "$run/list/"

  winpath() { echo "Z:$1" | tr / '\\'; }
  # The start-ups take turns, one of each per round (see bench/launch.cpp).
  starts=()
  for program in Startup_full_1024:full/Kestal.exe Startup_no_files:empty/Kestal.exe \
    Startup_bare_dialog:bare/kestal_bare_dialog.exe Startup_four_templates:pages/kestal_bare_pages.exe \
    Startup_floor_1024:list/kestal_bare_list.exe; do
    exe="$run/${program#*:}"
    starts+=("${program%%:*}" "$(winpath "$exe")" "$(winpath "$(dirname "$exe")")")
  done
  wine "$win/bench/kestal_launch.exe" "$runs" "${starts[@]}" </dev/null >>"$rows"
  [ "$part" = startup ] || wine "$win/bench/kestal_ui_bench.exe" "$(winpath "$run/save")\\" "$runs" </dev/null >>"$rows"
else
  echo "bench: kestal-tool export and import (native)" >&2
  bench_native kestal_bench_tool
fi
[ "$part" = startup ] || bench_audit

# name, floor, the most the ratio may be ("-" for none; ">=N": the least it may be), the
# most the median may be in microseconds ("-" for none)
targets='
AppendRecord AppendRecord_floor 3 160
FindDuplicateMissing FindDuplicateMissing_floor 3 160
DeleteFirstOf1024 DeleteFirstOf1024_floor 3 160
LoadDatabase LoadDatabase_floor 3 160
SaveDatabase SaveDatabase_floor 3 160
Export1024 Export1024_floor 3 -
Import1024 Import1024_floor 3 -
ExportKdbx1024 KeyDerivation 1.2 -
Import1024_KeePassXml Import1024_KeePassXml_floor - -
Import1024_BitwardenJson Import1024_BitwardenJson_floor - -
Startup_full_1024 Startup_floor_1024 1.05 -
Startup_full_1024 Startup_four_templates - -
Startup_no_files Startup_four_templates - -
Startup_full_1024 Startup_bare_dialog - -
FillList_1024 FillList_1024_floor 2 -
SaveAtClose_1024 SaveAtClose_1024_floor 2 -
Peer_analyze_4M Audit1024_4M >=100 -
Lookup1024_2M Lookup1024_1M - -
Lookup1024_4M Lookup1024_1M 1.5 -
'
[ "$part" != audit ] || targets=$(echo "$targets" | grep -E '^(Peer|Lookup|Export|Import)')
[ "$part" != startup ] || targets=$(echo "$targets" | grep -E '^Startup')

{
  echo "| measurement | median (us) | min (us) | max (us) |"
  echo "|---|---:|---:|---:|"
  awk '/^ROW / { printf "| %s | %.3f | %.3f | %.3f |\n", $2, $3, $4, $5 }' "$rows"
  echo
  echo "| ratio of medians | value | target | met |"
  echo "|---|---:|---:|---|"
  echo "$targets" | while read -r name floor most limit; do
    [ -n "$name" ] || continue
    awk -v name="$name" -v floor="$floor" -v most="$most" -v limit="$limit" '
      /^ROW / { median[$2] = $3 }
      END {
        r = median[name] / median[floor]
        least = most ~ /^>=/ ? substr(most, 3) + 0 : 0
        met = (most == "-" || (least ? r >= least : r <= most)) ? "yes" : "NO"
        if (limit != "-" && median[name] >= limit) met = "NO (median " limit " us or more)"
        target = (most == "-" ? "-" : least ? ">= " least "x" : "<= " most "x") (limit == "-" ? "" : ", < " limit " us")
        if (most == "-") met = "-"
        printf "| %s / %s | %.2fx | %s | %s |\n", name, floor, r, target, met
      }' "$rows"
  done
} | tee "$out/table.md"
