#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: apt skips what is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  wine wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-osifont icoutils
  wixl msitools zip osslsigncode openssl librsvg2-bin fonts-dejavu-core
  libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "$0: these packages are missing and there is no sudo; run this script as root once." >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update
# Through env: sudo would drop the variable, and a package could then stop to ask a question.
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
