#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12; safe to run again.
set -euo pipefail

packages=(cmake g++ make python3 g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 xvfb xauth x11-utils
          imagemagick fonts-wqy-microhei libbenchmark-dev clang libclang-rt-14-dev wixl msitools)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_cmd dpkg --add-architecture i386
fi
$sudo_cmd apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
