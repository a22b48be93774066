#!/usr/bin/env bash
# Builds the release archives (Release builds, tests off) into dist/, or the
# folder given:
#   Integracao_Docs_Fiscal-<version>-win32.zip         the 32-bit DLL,
#   Integracao_Docs_Fiscal-<version>-win64.zip         the 64-bit DLL, each with
#       libIntegracao_Docs_Fiscal.dll.a and Integracao_Docs_Fiscal.lib (import
#       libraries), Integracao_Docs_Fiscal.def, include/integracao_docs_fiscal.h,
#       README.md, CHANGELOG.md, docs/exchange-file.md and examples/;
#   Integracao_Docs_Fiscal-<version>-linux-x86_64.tar.gz   what `cmake --install`
#       puts under a prefix: the shared library with its links, the tool, the
#       header, the CMake package and the pkg-config file.
# The version is project(VERSION) of CMakeLists.txt. Needs the packages of
# scripts/setup.sh and tests/windows/setup.sh, and zip. The builds are kept in
# build-package/{win32,win64,linux}; with IDF_PACKAGE_TESTS=ON the Windows
# ones also build the test programs that tests/windows/run.sh runs against
# the archived DLLs (the DLLs themselves are the same either way).
#
#   bash scripts/package.sh [OUT_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/dist}" && cd "${1:-$root/dist}" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
version=$(sed -nE 's/^project\(Integracao_Docs_Fiscal VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || { echo "package: no project(... VERSION x.y.z) in CMakeLists.txt" >&2; exit 1; }
work="$root/build-package"
stage="$work/stage"
rm -rf "$stage"
mkdir -p "$stage"
name=Integracao_Docs_Fiscal-$version

# Files every Windows archive carries from the source tree.
shipped=(README.md CHANGELOG.md docs/exchange-file.md include/integracao_docs_fiscal.h)
for f in "${shipped[@]}"; do
  [[ -f $root/$f ]] || { echo "package: $f is missing" >&2; exit 1; }
done

build() {  # build dir, cmake options...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIDF_BUILD_TESTS=OFF "$@" >"$work/$(basename "$dir").log" 2>&1 ||
    { tail -30 "$work/$(basename "$dir").log" >&2; return 1; }
  cmake --build "$dir" -j "$jobs" >>"$work/$(basename "$dir").log" 2>&1 ||
    { tail -30 "$work/$(basename "$dir").log" >&2; return 1; }
}

windows() {  # win32|win64, toolchain, .def file
  local arch=$1 toolchain=$2 def=$3 dir="$work/$1" dest="$stage/$name-$1"
  echo "package: $name-$arch.zip"
  build "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" -DIDF_BUILD_TESTS="${IDF_PACKAGE_TESTS:-OFF}"
  mkdir -p "$dest"
  cp "$dir/Integracao_Docs_Fiscal.dll" "$dir/libIntegracao_Docs_Fiscal.dll.a" "$dir/Integracao_Docs_Fiscal.lib" "$dest/"
  cp "$root/src/entry/$def" "$dest/Integracao_Docs_Fiscal.def"
  for f in "${shipped[@]}"; do
    mkdir -p "$(dirname "$dest/$f")"
    cp "$root/$f" "$dest/$f"
  done
  cp -r "$root/examples" "$dest/"
  rm -f "$out/$name-$arch.zip"
  (cd "$stage" && zip -qrX "$out/$name-$arch.zip" "$name-$arch")
}

linux() {
  local dir="$work/linux" dest="$stage/$name-linux-x86_64"
  echo "package: $name-linux-x86_64.tar.gz"
  build "$dir"
  cmake --install "$dir" --prefix "$dest" >/dev/null
  if ! compgen -G "$dest/lib*/libintegracao_docs_fiscal.so.*" >/dev/null || [[ ! -x $dest/bin/integracao-docs-fiscal ]]; then
    echo "package: cmake --install put no shared library or tool under $dest" >&2
    exit 1
  fi
  rm -f "$out/$name-linux-x86_64.tar.gz"
  tar -C "$stage" --owner=0 --group=0 --numeric-owner --sort=name -czf "$out/$name-linux-x86_64.tar.gz" \
    "$name-linux-x86_64"
}

windows win32 toolchain-mingw32.cmake Integracao_Docs_Fiscal.def
windows win64 toolchain-mingw64.cmake Integracao_Docs_Fiscal-x64.def
linux
ls -l "$out"/"$name"-*
