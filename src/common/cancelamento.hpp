// Cancellation events of the imported document.
//
// An authorised NF-e or CT-e may be cancelled by its issuer afterwards; its
// own protocol still says it was authorised. The cancellation is a separate
// signed event, which the ERP downloads into the same folder as its own file
// (procEventoNFe / procEventoCTe), or which some tools append to the
// document (a retEvento / retEventoCTe after the protocol). The import looks
// for one in the loaded document first, then in every file the search lists
// beside it, and stops at the first.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf {

// The cancellation of the document with the access key `chave` (ANSI,
// without blanks at either end) that the file with the document element
// `root` holds, when it holds one: either the file is an event file
// (<event_proc>, with tpEvento and the key from <event>/infEvento and cStat
// from <event_answer>/infEvento), or it is a document (<proc>) with an
// <event_answer> at any depth below its root. The event counts when
// tpEvento is 110111 or 110112 (cancellation, cancellation by
// substitution), the key is `chave` and cStat is 135, 136 or 155; texts are
// compared without characters 0 to 32 at either end, and a text that cannot
// be read (an element holding more than text) makes the event not count.
// The result's arquivo is left empty. Every event of the file up to the
// cancellation, of whatever key, is added to `eventos` (when given),
// without its file. Raises nothing but for memory.
std::optional<CancelamentoLido> cancelamento_de(xml::Node root, const DocumentType::Names& names,
                                                std::string_view chave, std::vector<EventoLido>* eventos = nullptr);

// The check of the import, right after the document's own access key
// `chave` (as read) has been read and before the first section is written:
// the loaded document, then the files listed beside it (the search's pass,
// or, on the dialog way, the folder of the chosen file read now). On the
// first cancellation found it takes the abort path with its message, and
// the event is handed back in the result. Otherwise the events of the
// document's key read on the way are handed to the import for its listing.
void verifica_cancelamento(Import& import, std::u16string_view chave);

}  // namespace idf
