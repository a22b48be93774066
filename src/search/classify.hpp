// What a candidate the search parsed, without finding the document in it,
// is to the wanted key: the pass (folder_scan.hpp) asks this of each such
// file, and the diagnostics (diagnostico.hpp) tell the user what it found.
// It sits below both, so that neither includes the other's header.
#pragma once

#include <string_view>

#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf {

// What a parsed file whose document element is `root` is to the key.
enum class Achado {
    nenhum,
    resumo,         // the summary of the document with the key
    sem_protocolo,  // the document with the key, without its protocol
};

// The summary (<summary> whose <key>, without blanks at either end, is
// `chave`) or the document without protocol (<element>, or <proc> without
// <protocol>, whose <element>/<info> has the Id <element> + `chave`).
// `chave` is ANSI, without blanks at either end. Raises nothing but for
// memory.
Achado classifica(xml::Node root, const DocumentType::Names& names, std::string_view chave);

}  // namespace idf
