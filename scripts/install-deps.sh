#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, runs and tests with.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libglibmm-2.68-dev libexpat1-dev libutf8proc-dev uuid-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  dbus-daemon libglib2.0-bin python3
  clang-16 libclang-rt-16-dev clang-format git
  libnautilus-extension-dev libnemo-extension-dev libcaja-extension-dev libthunarx-3-dev
  libkf5kio-dev extra-cmake-modules
  nautilus nemo caja thunar dolphin xvfb xdotool imagemagick
  at-spi2-core python3-pyatspi
  xclip wl-clipboard
  libgtkmm-4.0-dev libadwaita-1-dev
  dconf-service dconf-cli desktop-file-utils appstream
  debhelper dpkg-dev lintian mmdebstrap
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
