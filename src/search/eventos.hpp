// The events of a document, read once.
//
// After its authorisation an NF-e or CT-e may receive events: its
// cancellation, a correction letter, the buyer's manifestation, a CT-e
// taker's disagreement. Each is a signed request (evento / eventoCTe, its
// infEvento) that the authority answers (retEvento / retEventoCTe, its
// infEvento). The ERP downloads them as files of their own
// (procEventoNFe / procEventoCTe: request and answer), or finds the answers
// appended to the document after its protocol. Some keep the authority's
// reply as it came (retEnvEvento, retConsSitNFe, a SOAP envelope around
// either, a bare retEvento), and the NF-e's distribution service hands the
// recipient a summary of each event (resEvento). Each event is read here
// into one record, with everything any reader of the events needs; which
// events belong to the document, and which cancel it, is decided here only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/import.hpp"
#include "xml/tree.hpp"

namespace idf {

// One correction of a CT-e correction letter (infCorrecao).
struct CorrecaoCTe {
    std::optional<std::string> grupoAlterado;
    std::optional<std::string> campoAlterado;
    std::optional<std::string> valorAlterado;
    std::optional<std::string> nroItemAlterado;
};

// The detail of a request: the children of detEvento (NF-e) or of the one
// element inside it (CT-e: evCancCTe, evCCeCTe, ...). Texts as read.
struct DetalheEvento {
    std::optional<std::string> descEvento;
    std::optional<std::string> xCorrecao;
    std::optional<std::string> xJust;
    std::optional<std::string> xObs;
    std::optional<std::string> xJustMotivo;
    std::optional<std::string> nProtEvento;      // NF-e: the event an event cancels
    std::optional<std::string> nProtEvPrestDes;  // CT-e: the same
    std::optional<std::string> nProtCE;          // CT-e: the same
    std::vector<CorrecaoCTe> correcoes;          // CT-e correction letter
};

// The codes (tpEvento, the key, tpAmb, cStat) are read through comments and
// CDATA sections and trimmed of characters 0 to 32 at either end; the other
// texts are as read. All UTF-8; none when absent or when the element holds
// more than text.
struct PedidoEvento {
    std::optional<std::string> tpEvento;
    std::optional<std::string> chave;
    std::optional<std::string> nSeqEvento;
    std::optional<std::string> tpAmb;
    std::optional<std::string> dhEvento;
    DetalheEvento detalhe;
};

struct RespostaEvento {
    std::optional<std::string> tpEvento;
    std::optional<std::string> chave;
    std::optional<std::string> tpAmb;
    std::optional<std::string> nSeqEvento;
    std::optional<std::string> cStat;
    std::optional<std::string> nProt;
    std::optional<std::string> dhRegEvento;
    std::optional<std::string> xEvento;
};

struct Evento {
    std::string arquivo;  // the file's full path, UTF-8
    std::string nome;     // its listed name (UTF-8), the document's own for an answer inside it
    // An answer without its request: appended inside a document, or saved
    // apart from one.
    bool anexado = false;
    // Read from the authority's replies saved apart from a document or from
    // a summary: it counts for the cancellation check only, and [EVENTOS]
    // leaves it out.
    bool so_cancelamento = false;
    // The distribution's summary (resEvento): its key, tpEvento, nSeqEvento,
    // xEvento and nProt in the answer, its dhRecbto as dhRegEvento; no
    // request, no cStat, no tpAmb.
    bool resumo = false;
    std::optional<PedidoEvento> pedido;
    RespostaEvento resposta;

    // The request's, or for an answer inside a document the answer's.
    const std::optional<std::string>& tpEvento() const { return pedido ? pedido->tpEvento : resposta.tpEvento; }
    const std::optional<std::string>& chave() const { return pedido ? pedido->chave : resposta.chave; }
    const std::optional<std::string>& tpAmb() const { return pedido ? pedido->tpAmb : resposta.tpAmb; }
};

// Appends to `eventos` the events of the document with the access key
// `chave` (ANSI, trimmed) that the file with the document element `root`
// holds, in document order:
//  - an event file (root <event_proc>) holds one, its request and answer;
//  - a document with its protocol (root <proc>) the <event_answer>s at any
//    depth below its root (anexado);
//  - a file whose root is neither a document (<proc>, <element>) nor an
//    event file, such as the authority's replies saved as they came,
//    every <event_proc> in it as an event file, and every <event_answer>
//    outside one as an answer without its request (both so_cancelamento);
//  - for the NF-e, any file, every <event_summary> (resumo, so_cancelamento).
// These elements are matched by their local name, in a namespace of the
// fiscal documents (http://www.portalfiscal.inf.br/...) or in none. Only
// events whose key (the request's, else the answer's or the summary's) is
// `chave` are kept; arquivo and nome are left empty. Raises nothing but for
// memory.
void le_eventos(xml::Node root, const DocumentType::Names& names, std::string_view chave, std::vector<Evento>& eventos);

// Whether an event of the key belongs to the document whose protocol has
// the environment `tp_amb` (as read; none when absent): the answer's key
// and tpEvento, when given, are the request's, and the event's tpAmb, when
// given, is the protocol's.
bool pertence_ao_documento(const Evento& evento, const std::optional<std::string>& tp_amb);

// The event types that cancel the document: its cancellation and its
// cancellation by substitution.
inline constexpr std::string_view tipo_cancelamento = "110111";
inline constexpr std::string_view tipo_cancelamento_substituicao = "110112";
bool cancela_documento(std::string_view tp_evento);

// A registered cancellation: 110111 or 110112 with cStat 135, 136 or 155;
// a summary needs only the type.
bool cancela(const Evento& evento);

}  // namespace idf
