#!/usr/bin/env bash
# Installs what the Windows cross-build and its Wine tests need on Debian 12:
# the 32-bit mingw-w64 compiler, a 32-bit Wine, and the Linux build that
# writes the reference output. Idempotent, non-interactive, run as root.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

need=()
for p in g++-mingw-w64-i686 wine wine32:i386 cmake ninja-build g++ pkg-config libxml2-dev nlohmann-json3-dev \
         libcli11-dev libgtest-dev; do
  installed "$p" || need+=("$p")
done

if ((${#need[@]} == 0)); then
  echo "windows setup: everything is installed"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${need[@]}"
echo "windows setup: installed ${need[*]}"
