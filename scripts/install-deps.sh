#!/usr/bin/env bash
# Installs what Quorbell needs to build and test, from Debian's packages.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  cmake g++ make ninja-build python3
  googletest libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev zlib1g-dev
  mingw-w64 libz-mingw-w64-dev
  wine wine64 xvfb xdotool x11-apps imagemagick
  osslsigncode openssl
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
