#!/usr/bin/env bash
# Installs what the Windows cross-build and its Wine tests need on Debian 12:
# the 32-bit mingw-w64 compiler and a 32-bit Wine. Idempotent, non-interactive,
# run as root.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

need=()
command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
command -v wine >/dev/null 2>&1 || need+=(wine)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v ninja >/dev/null 2>&1 || need+=(ninja-build)

if [ ${#need[@]} -eq 0 ]; then
  echo "windows setup: everything is installed"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${need[@]}"
echo "windows setup: installed ${need[*]}"
