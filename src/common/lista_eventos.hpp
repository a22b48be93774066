// What happened to the document after it was issued: the events of its key
// listed in the [EVENTOS] section, after the last section of the document.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/import.hpp"
#include "search/eventos.hpp"

namespace idf {

// The events to list, from the events of the document's key that belong to
// it, in the order found (the document first, then the folder):
//  - those read for the cancellation check only (so_cancelamento) are left
//    out, and cancel no other;
//  - registered only: the answer's cStat is 135 or 136;
//  - cancellations of the document (110111, 110112) are not listed;
//  - an event that cancels another (110001 and 110193 by nProtEvento,
//    610111 by nProtEvPrestDes, 110181 by nProtCE) removes every event
//    whose answer's nProt it names, and is not listed itself;
//  - the same answer nProt (not blank) is listed once: the first found in
//    an event file, else the first found;
//  - sorted by the answer's dhRegEvento, events without it last, ties in
//    the order found.
// Codes and protocol numbers are compared without blanks at their ends.
std::vector<Evento> eventos_a_listar(std::span<const Evento> encontrados);

// The values listed (UTF-8): the type (request's, else the answer's;
// trimmed), the description (the detail's descEvento, else the answer's
// xEvento; none when both are blank), the sequence (request's, else the
// answer's, as read) and the justification (the first of xJust, xObs and
// xJustMotivo that is not blank).
std::string tipo_evento(const Evento& evento);
std::optional<std::string> descricao_evento(const Evento& evento);
std::optional<std::string> sequencia_evento(const Evento& evento);
std::optional<std::string> justificativa_evento(const Evento& evento);

// The last stage of both imports: lists the events of the pass over the
// folder that belong to the document, hands them to the result and, when
// there is at least one, writes an empty line, [EVENTOS] with the lines of
// each event, then [QUANTIDADE_EVENTOS] and "Eventos=".
void escreve_eventos(Import& import);

}  // namespace idf
