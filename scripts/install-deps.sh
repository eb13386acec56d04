#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# packages already present are skipped, and nothing is fetched when all are there.
set -euo pipefail

packages=(
  libxxhash-dev libglib2.0-bin
  cmake g++ make googletest
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 fonts-wine fonts-liberation
  xvfb xauth openbox imagemagick xdotool desktop-file-utils
  clang libclang-rt-14-dev libbenchmark-dev
  libcli11-dev librapidxml-dev keepassxc zip unzip binutils
  libssl-dev nlohmann-json3-dev libargon2-dev libgcrypt-mingw-w64-dev
)

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi

# Some hosts' kernels run 64-bit programs only, and so not Wine's 32-bit loader: there the
# Windows tests run an x86_64 build under Wine's 64-bit half.
packages_64=(wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev)

updated=
install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  # Wine's 32-bit half is an i386 package.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  if [ -z "$updated" ]; then
    "${sudo[@]}" apt-get update -q
    updated=1
  fi
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing "${packages[@]}"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  install_missing "${packages_64[@]}"
fi
