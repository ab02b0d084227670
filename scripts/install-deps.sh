#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libudev-dev libjsoncpp-dev
  qt6-base-dev qt6-svg-dev libqt6svg6 libx11-dev libxdamage-dev libxtst-dev
  xvfb xauth trayer dbus
  fonts-dejavu-core fonts-open-sans fonts-noto-cjk fonts-noto-ui-core fonts-wqy-microhei fonts-league-spartan
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev xxd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
if ! "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
  "${as_root[@]}" apt-get update
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
