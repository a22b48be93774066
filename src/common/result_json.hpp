// The outcome of one import as one JSON object, the report of the
// command-line tool's --json.
#pragma once

#include <string>
#include <vector>

#include "common/import.hpp"

namespace idf {

// {"resultado": "concluida"|"abortada", "arquivo": path or null,
//  "mensagens": [boxes shown, UTF-8], "problemas": lista_problemas,
//  "protocolo": {"nProt", "cStat", "xMotivo", "tpAmb"},
//  "cancelamento": null or {"arquivo", "tpEvento", "cStat", "nProt",
//  "dhRegEvento"},
//  "eventos": null or [{"arquivo", "tpEvento", "descEvento", "nSeqEvento",
//  "dhEvento", "dhRegEvento", "nProt", "cStat"}] (the events listed in the
//  exchange file of a completed import),
//  "diagnostico": null or {"chave_valida", "modelo", "tipo_esperado",
//  "espacos_na_chave", "resumos", "sem_protocolo", "ilegiveis"}}, on one line
// without the final line feed. Invalid UTF-8 becomes U+FFFD.
std::string result_json(const ImportResult& result, const std::vector<std::string>& mensagens);

}  // namespace idf
