// The opening of both imports: the authorisation protocol and the first
// lines of [IDENTIFICACAO].
#pragma once

#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf {

// Checks the protocol number of <protocol>/infProt (it is never written),
// and refuses a protocol whose status (cStat) is present but is neither
// authorised use (100) nor authorised out of time (150); then it reads the
// access key with its layout of 11 groups of 4 characters and writes
// "[IDENTIFICACAO]" and "Chave_Acesso=". Each value is found anew from the
// document element; a missing element or a blank value takes the abort
// path with its message. The texts of nProt, cStat, xMotivo and tpAmb are
// handed to the import's result as they are read.
//
// Then the series and the number of <element>/<info>/ide follow; a missing
// ide or a blank series or number takes the abort path. Returns ide for the
// lines of the document type.
xml::Node le_inicio_identificacao(Import& import);

}  // namespace idf
