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
# A mirror caught mid-sync fails one index and leaves the others usable:
# the install below says whether what we need is there.
$sudo_cmd apt-get update -qq || echo "apt-get update reported errors; installing from the indexes it has" >&2
install() {
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends --allow-downgrades "$@" >/dev/null
}

# wine32 needs the i386 copy of every Multi-Arch: same library at the amd64
# copy's version. When the i386 index is older than the amd64 one (a failed
# index, a mirror mid-sync), those amd64 libraries are brought to the version
# both architectures offer, and the install is tried again.
aligned_libraries() {
  while read -r pkg version; do
    candidate=$(apt-cache policy "$pkg:i386" 2>/dev/null | awk '/Candidate/{print $2}')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ] && [ "$candidate" != "$version" ] || continue
    case "$pkg" in libapt-pkg*|libpython*|libperl*) continue ;; esac
    apt-cache madison "$pkg" | awk -v c="$candidate" '$3 == c && /amd64/' | grep -q . && echo "$pkg=$candidate"
  done < <(dpkg-query -W -f='${Package} ${Version} ${Multi-Arch}\n' | awk '$3 == "same" {print $1, $2}')
}

if ! install "${missing[@]}"; then
  echo "Retrying with the amd64 libraries at the i386 index's versions" >&2
  mapfile -t aligned < <(aligned_libraries)
  install "${aligned[@]}" "${missing[@]}"
fi
