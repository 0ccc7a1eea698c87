#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the demo need (idempotent).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  zlib1g-dev nlohmann-json3-dev libgtest-dev libgmock-dev
  libavcodec-dev libavutil-dev libswscale-dev libudev-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-translations-l10n
  ffmpeg dosfstools mtools fdisk util-linux gpsbabel
  xvfb xauth fonts-dejavu-core
  libdeflate-dev
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
