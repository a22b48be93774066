#!/usr/bin/env bash
# Installs what is missing, builds, and imports the bundled sample NF-e by its
# access key, printing the exchange file (converted from CP1252 for the terminal).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target integracao-docs-fiscal integracao_docs_fiscal
out=$(mktemp -d)
set +e
build/integracao-docs-fiscal nfe --chave 35240612345678000195550010000012341000012345 --pasta samples --saida "$out"
rc=$?
set -e
echo "exit status: $rc"
if [[ -f $out/Integracao_Docs_Fiscal.ini ]]; then
  echo "---- $out/Integracao_Docs_Fiscal.ini"
  iconv -f CP1252 -t UTF-8 "$out/Integracao_Docs_Fiscal.ini" | tr -d '\r'
fi
