#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (as root).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libxml2-dev libxml2-utils libssl-dev nlohmann-json3-dev libcli11-dev
          libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev time python3
          e2fsprogs mount)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
