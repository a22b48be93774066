// The authorisation protocol that opens both imports.
#pragma once

#include <string>
#include <string_view>

#include "common/fields.hpp"
#include "common/import.hpp"

namespace idf {

// The protocol element of one document type and the two abort messages of
// its reading.
struct Protocolo {
    std::string_view documento;   // NFe / CTe, as the messages name it
    std::string_view elemento;    // protNFe / protCTe
    std::string_view chave;       // chNFe / chCTe, child of infProt
    std::string_view sem_numero;  // no protocol number
    std::string_view sem_chave;   // no access key
};

// Checks the protocol number of <elemento>/infProt (it is never written),
// and refuses a protocol whose status (cStat) is present but is neither
// authorised use (100) nor authorised out of time (150); then it reads the
// access key with its layout of 11 groups of 4 characters
// and writes "[IDENTIFICACAO]" and "Chave_Acesso=". Each value is found
// anew from the document element; a missing element or a blank value takes
// the abort path with its message. The texts of nProt, cStat, xMotivo and
// tpAmb are handed to the import's result as they are read.
void le_protocolo(Import& import, const Protocolo& protocolo);

}  // namespace idf
