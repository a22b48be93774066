// Why a search with a key found no document: the checks of the key itself
// and what the files read by the search come close to (see Diagnostico in
// import.hpp). Nothing here reads a file: the folder's pass classifies each
// candidate it parsed and keeps what it could not read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "search/folder_scan.hpp"
#include "xml/tree.hpp"

namespace idf {

// True when `chave` has 44 characters, positions 1-6 and 19-44 digits,
// positions 7-18 digits or A-Z (the issuer's CNPJ, numeric or
// alphanumeric), and its last character is the check digit: modulo 11 over
// the first 43, weights 2 to 9 cycling from the right, each character
// worth its code minus 48; 11 minus the remainder, 0 for 10 and 11.
bool chave_valida(std::string_view chave);

// The checks of the key `chave` (ANSI, as given) for an import of `type`,
// with no file found yet: blanks at either end, then the rest on the key
// without them.
Diagnostico diagnostico_da_chave(std::string_view chave, const DocumentType& type);

// The diagnostics of a search for `chave` (ANSI, as given) whose pass
// found no document: the checks of the key, and the findings of the pass
// over the candidates it read.
Diagnostico diagnostico_da_busca(std::string_view chave, const DocumentType& type, ScanResult&& varredura);

// The lines that tell the findings (UTF-8), the key's first.
std::vector<std::string> linhas_do_diagnostico(const Diagnostico& diagnostico, const DocumentType& type);

}  // namespace idf
