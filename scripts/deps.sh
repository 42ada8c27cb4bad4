#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (quiet and quick
# when they are already there).
set -euo pipefail
PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev qt6-base-dev qt6-svg-dev
          fonts-liberation fonts-dejavu-core fonts-crosextra-carlito)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  # CI has refreshed the package lists already (ZJIG_APT_UPDATED=1).
  [[ "${ZJIG_APT_UPDATED:-}" == 1 ]] || $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
