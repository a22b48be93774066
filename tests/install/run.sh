#!/usr/bin/env bash
# Installs a build into a temporary prefix and builds and runs, against the
# installed files only, the programs an integrator would write:
#   1. the installed tree: header, shared library with its soname and links,
#      tool, CMake package and pkg-config file, all of the project's version;
#   2. cmake/: find_package(IntegracaoDocsFiscal 1 REQUIRED) and the target
#      IntegracaoDocsFiscal::integracao_docs_fiscal;
#   3. cc with `pkg-config --cflags --libs integracao_docs_fiscal`;
#   4. subdirectory/: the source tree added with add_subdirectory (its
#      tests are not built).
# The installed tree is moved after installing: it must work wherever it is.
#
#   tests/install/run.sh [BUILD_DIR]     # default: build
#
# The last line is "N passed, M failed"; exit status 0 only when all passed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd) || { echo "0 passed, 1 failed"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/idf-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0

ok() { passed=$((passed + 1)); echo "ok: $*"; }
bad() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() { if eval "$1"; then ok "$2"; else bad "$2"; fi; }
finish() {
  echo "$passed passed, $failed failed"
  ((failed == 0))
  exit
}
# run LOG COMMAND...: runs a command with its output in LOG, shown on failure.
run() {
  local log=$1; shift
  "$@" >"$log" 2>&1 || { tail -30 "$log"; return 1; }
}

version=$(sed -nE 's/^project\([A-Za-z_]+ VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
major=${version%%.*}
key=35240612345678000195550010000012341000012345  # samples/nfe-exemplo.xml

# ---- 1. the installed tree ---------------------------------------------------
echo "== install (version $version)"
run "$work/install.log" cmake --install "$build" --prefix "$work/staged" || { bad "cmake --install"; finish; }
mv "$work/staged" "$work/prefix"
p=$work/prefix
libdir=$(dirname "$(find "$p" -name "libintegracao_docs_fiscal.so.$version" | head -1)")
check '[[ -f $p/include/integracao_docs_fiscal.h ]]' "include/integracao_docs_fiscal.h"
check '[[ -f $libdir/libintegracao_docs_fiscal.so.$version && ! -L $libdir/libintegracao_docs_fiscal.so.$version ]]' \
  "libintegracao_docs_fiscal.so.$version"
check '[[ $(readlink "$libdir/libintegracao_docs_fiscal.so.$major") == libintegracao_docs_fiscal.so.$version &&
        $(readlink "$libdir/libintegracao_docs_fiscal.so") == libintegracao_docs_fiscal.so.$major ]]' \
  "links .so.$major and .so"
soname=$(readelf -d "$libdir/libintegracao_docs_fiscal.so.$version" 2>/dev/null | sed -nE 's/.*SONAME.*\[(.*)\]/\1/p')
check '[[ $soname == libintegracao_docs_fiscal.so.$major ]]' "soname $soname"
check '[[ $("$p/bin/integracao-docs-fiscal" --version) == "integracao-docs-fiscal $version" ]]' \
  "bin/integracao-docs-fiscal --version"
check '[[ -f $libdir/cmake/IntegracaoDocsFiscal/IntegracaoDocsFiscalConfig.cmake &&
        -f $libdir/cmake/IntegracaoDocsFiscal/IntegracaoDocsFiscalConfigVersion.cmake ]]' "CMake package files"
check '[[ -z $(find "$p" -name "*.a") ]]' "no static library installed"
export PKG_CONFIG_PATH=$libdir/pkgconfig
check '[[ $(pkg-config --modversion integracao_docs_fiscal) == "$version" ]]' "pkg-config version"

# consumer DIR: runs the consumer built in DIR and checks that the sample NF-e
# was imported into the exchange file beside it.
consumer() {
  (cd "$work" && LD_LIBRARY_PATH=$libdir "$1/consumer" "$key" "$root/samples") &&
    grep -q "^Chave_Acesso=$(sed -E 's/(.{4})/\1 /g; s/ $//' <<<"$key")"$'\r'"\$" "$1/Integracao_Docs_Fiscal.ini"
}

# ---- 2. find_package ----------------------------------------------------------
echo "== find_package consumer"
c=$work/cmake
if run "$work/cmake.log" cmake -S "$here/cmake" -B "$c" -DCMAKE_PREFIX_PATH="$p" &&
   run "$work/cmake-build.log" cmake --build "$c"; then
  ok "find_package(IntegracaoDocsFiscal $major) builds"
  check 'consumer "$c"' "find_package consumer imports the sample"
else
  bad "find_package(IntegracaoDocsFiscal $major) builds"
fi
# Another major version is refused.
mkdir -p "$work/other-major"
printf 'cmake_minimum_required(VERSION 3.16)\nproject(other_major NONE)\nfind_package(IntegracaoDocsFiscal %s REQUIRED)\n' \
  $((major + 1)) >"$work/other-major/CMakeLists.txt"
check '! cmake -S "$work/other-major" -B "$work/other-major/b" -DCMAKE_PREFIX_PATH="$p" >/dev/null 2>&1' \
  "find_package(IntegracaoDocsFiscal $((major + 1))) is refused"

# ---- 3. pkg-config --------------------------------------------------------------
echo "== pkg-config consumer"
k=$work/pkgconfig
mkdir -p "$k"
# shellcheck disable=SC2046
if run "$work/pkgconfig.log" cc -std=c99 -Wall -Wextra -Werror -o "$k/consumer" "$here/consumer.c" \
     $(pkg-config --cflags --libs integracao_docs_fiscal); then
  ok "cc \$(pkg-config --cflags --libs integracao_docs_fiscal) builds"
  check 'consumer "$k"' "pkg-config consumer imports the sample"
else
  bad "cc \$(pkg-config --cflags --libs integracao_docs_fiscal) builds"
fi

# ---- 4. add_subdirectory -----------------------------------------------------------
echo "== add_subdirectory consumer"
s=$build/consumer-subdirectory  # kept between runs: only what changed is built again
rm -f "$s/consumer" "$s/Integracao_Docs_Fiscal.ini"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if run "$work/subdirectory.log" cmake -S "$here/subdirectory" -B "$s" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DIDF_SOURCE_DIR="$root" "${launcher[@]}" &&
   run "$work/subdirectory-build.log" cmake --build "$s" -j "$jobs" --target consumer; then
  ok "add_subdirectory consumer builds without the library's tests"
  check 'consumer "$s"' "add_subdirectory consumer imports the sample"
else
  bad "add_subdirectory consumer builds without the library's tests"
fi

finish
