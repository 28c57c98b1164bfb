#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Kalibra need.
# Idempotent: installs only what is missing, and says nothing when everything is there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-serialport-dev qt6-svg-dev qt6-qpa-plugins fonts-dejavu-core
    libudev-dev libgtest-dev libgmock-dev libbenchmark-dev
    lpc21isp python3 python3-xlrd
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
