// ABOUT src/search/: the folder search. It owns everything that answers
// "which file is the document, and what else in its folder speaks of it":
// the quick check of a file's bytes for a key (key_precheck), this user's
// index of the folders searched (folder_index), the one pass over the
// folder (this header), what a candidate is to the key (classify), the
// event reader (eventos), the diagnostics of a search without a match
// (diagnostico), the cancellation check (cancelamento) and the locating of
// the document (locate.cpp, for Import::run). It may use values/, xml/,
// the platform interface and, from src/common/, only the import's driver
// and records (import.hpp, platform.hpp, messages.hpp); it never includes
// a stage of the import course (fields, protocolo, lista_eventos,
// result_json, reforma_tributaria, autenticidade), nor nfe/ or cte/. The
// course asks it; it never asks back.
//
// The one pass over the folder of an import.
//
// On the search way the pass looks for the document among the files the
// search lists (the mask of pasta_temporaria chooses them) and reads every
// "*.xml" file of the folder for the events of the document's key; on the
// dialog way it reads every "*.xml" file beside the chosen document. Both
// ways go through the same steps for each file, in the search's order:
//  - a file larger than xml::Document::max_file_size is never parsed (no
//    event is that large): its bytes are looked at in pieces for the key
//    and a cancellation code, and with both it is recorded as unreadable;
//  - a file already read through another name (a hard link, a link) is
//    passed over;
//  - a file that this user's index of the folder (folder_index.hpp)
//    proves unchanged since it was read, without the key, is passed over
//    unread; what the quick check learns of every file read goes to the
//    index, saved after the pass;
//  - a file that cannot be read is recorded;
//  - a file the quick check rules out (key_precheck.hpp) is passed over:
//    before the document is found, one that cannot hold the key; after,
//    one that cannot hold an event of it;
//  - a file that cannot be parsed is recorded;
//  - the document element is looked at once: the document, or events.
// The pass writes nothing and shows nothing: its result is data, read by
// the search, the cancellation check and whatever else needs the folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "common/platform.hpp"
#include "search/eventos.hpp"
#include "search/key_precheck.hpp"

namespace idf {

// A file of the folder that could not be read or parsed.
struct ArquivoIlegivel {
    std::string arquivo;  // full path, UTF-8
    std::string nome;     // the listed name, UTF-8
    // It may be a cancellation of the key: it could not be read, or its
    // bytes hold the key and 110111 or 110112.
    bool pode_cancelar = false;
};

struct ScanResult {
    // Search way: the full path of the document found, left loaded in the
    // import's XML(); empty when none was. The dialog way leaves it empty.
    std::string documento;
    // The events of the key: the document's own answers first, then the
    // files in the pass's order.
    std::vector<Evento> eventos;
    // The files that could not be read or parsed, in the pass's order.
    std::vector<ArquivoIlegivel> ilegiveis;
    // Search way, among the candidates read before the document was
    // found (full paths, UTF-8): the files holding only the summary of the
    // key (resNFe / resCTe), and those holding the document of the key
    // without its protocol. What explains a search without a match.
    std::vector<std::string> resumos;
    std::vector<std::string> sem_protocolo;
};

// The files one pass reads, in its order: the search's listing first (its
// first `candidatos` names, where the document is looked for), then the
// "*.xml" files of the folder it left out.
struct ScanListing {
    std::string folder;
    std::vector<std::string> names;
    std::size_t candidatos = 0;
    // Each file's version, in the order of `names`, when the platform
    // keeps the index of the folders searched; else empty.
    std::vector<std::optional<FileVersion>> versions;
};

// The listing of the search way (pasta_temporaria as the search takes it);
// of the dialog way (the folder of the chosen file, no candidates). None
// when the folder cannot be listed.
std::optional<ScanListing> search_listing(Platform& platform, const std::string& pasta);
std::optional<ScanListing> document_listing(Platform& platform, const std::string& documento);

// The search way: looks for the document with the key chave_acesso among
// the candidates, and, once found, reads the rest of the folder for its
// events. When no document is found the pass stops after the candidates.
ScanResult scan_search(Import& import);

// The dialog way: the loaded document (the import's XML()) and the files
// beside it, for the events of `chave` (ANSI, trimmed).
ScanResult scan_document_folder(Import& import, std::string_view chave);

// Whether a file with these bytes may hold an event of the key: what the
// pass parses once the document is known. False only when the quick check
// rules the key out, or when the file provably holds no infEvento element
// and no cancellation code.
bool may_hold_event(const KeyPrecheck& precheck, std::string_view bytes);
// The same for bytes the quick check has already let through.
bool may_hold_event_of_carried_key(std::string_view bytes);

}  // namespace idf
