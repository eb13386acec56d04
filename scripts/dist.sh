#!/usr/bin/env bash
# make dist: dist/password-kestal-VERSION-win32.zip with Kestal.exe, kestal-tool.exe and a
# README.txt with Windows line ends. The version comes from resources/version.h.
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
cp "$build/app/Kestal.exe" "$build/cli/kestal-tool.exe" "$stage/$name/"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/docs/README-windows.txt" >"$stage/$name/README.txt"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -X -r "$out/$name.zip" "$name")
echo "wrote $out/$name.zip"
