#!/usr/bin/env bash
# Installs what tests/windows/run.sh needs on Debian 12: the 32- and 64-bit
# mingw-w64 compilers, 32- and 64-bit Wine, the Linux build that writes the
# reference output, llvm-14 (llvm-dlltool: import libraries in the Microsoft
# format), zip and unzip (release archives), and the example hosts: Free
# Pascal, Mono (with its CP1252 encoding) and Python. Idempotent,
# non-interactive, run as root.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

need=()
for p in g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 llvm-14 cmake ninja-build g++ pkg-config libxml2-dev libssl-dev nlohmann-json3-dev \
         libcli11-dev libgtest-dev zip unzip fpc mono-mcs mono-runtime libmono-i18n-west4.0-cil python3; do
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
