#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running libtx need.
# As root it installs what is missing; otherwise it prints the apt-get line
# and fails.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libpng-dev libjpeg-dev zlib1g-dev libsdl2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils x11-apps imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "libtx needs these Debian packages. Install them as root with:" >&2
  echo "  $line" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
$line
