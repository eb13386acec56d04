#!/usr/bin/env bash
# make dist: dist/password-kestal-VERSION-win32.zip with Kestal.exe, kestal-tool.exe and a
# README.txt with Windows line ends. The version comes from resources/version.h. The programs
# are shipped stripped: the build keeps its symbols and debug sections for the tests and a
# debugger, a user needs neither (they more than double the size).
#   dist.sh [BUILD_FOLDER [OUTPUT_FOLDER [LABEL]]]   (build/windows, dist, win32)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/windows}
out=${2:-$root/dist}
label=${3:-win32}
version=$(sed -n 's/^#define KESTAL_VERSION_TEXT "\(.*\)"/\1/p' "$root/resources/version.h")
name="password-kestal-$version-$label"
for exe in "$build/app/Kestal.exe" "$build/cli/kestal-tool.exe"; do
  [ -f "$exe" ] || { echo "dist: $exe is missing; run 'make windows' first." >&2; exit 1; }
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name" "$out"
for exe in "$build/app/Kestal.exe" "$build/cli/kestal-tool.exe"; do
  # The strip of the program's own architecture; the host's binutils read both PE kinds too.
  case "$(objdump -f "$exe" | sed -n 's/.*file format //p')" in
  pei-i386) strip=i686-w64-mingw32-strip ;;
  pei-x86-64) strip=x86_64-w64-mingw32-strip ;;
  *) strip=strip ;;
  esac
  command -v "$strip" >/dev/null 2>&1 || strip=strip
  "$strip" --strip-all -o "$stage/$name/$(basename "$exe")" "$exe"
done
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/docs/README-windows.txt" >"$stage/$name/README.txt"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -X -r "$out/$name.zip" "$name")
echo "wrote $out/$name.zip"
