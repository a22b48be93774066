// Cancellation events of the imported document.
//
// An authorised NF-e or CT-e may be cancelled by its issuer afterwards; its
// own protocol still says it was authorised. The cancellation is a separate
// signed event, which the ERP downloads into the same folder as its own file
// (procEventoNFe / procEventoCTe), or which some tools append to the
// document (a retEvento / retEventoCTe after the protocol); others keep the
// authority's reply as it came (retEnvEvento, retConsSitNFe, a SOAP
// envelope), and the NF-e's distribution service delivers only a summary
// of the event (resEvento). The import looks
// for one among the events of the document (eventos.hpp) that the pass over
// the folder found (folder_scan.hpp): the loaded document's own, then those
// of every "*.xml" file of its folder.
#pragma once

#include <string_view>

#include "common/import.hpp"

namespace idf {

// The check of the import, right after the document's own access key
// `chave` (as read) has been read and before the first section is written.
// A registered cancellation of the document (110111 or 110112, cStat 135,
// 136 or 155; a summary of one) found anywhere takes the abort path with
// its message, and the event is handed back in the result. Without one, a file of the folder
// that could not be read or parsed and may hold one takes the abort path
// too, naming the first such file.
void verifica_cancelamento(Import& import, std::u16string_view chave);

}  // namespace idf
