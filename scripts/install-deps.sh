#!/usr/bin/env bash
# Installs every build and test dependency on Debian 12 (run as root).
# Idempotent and quiet when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev libcanberra-dev
  xvfb xauth socat python3
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
