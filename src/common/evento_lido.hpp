// One event of a document as read from the folder: the signed request
// (evento / eventoCTe infEvento) and the authority's answer (retEvento /
// retEventoCTe infEvento), each read once. An answer appended inside a
// document carries no request.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace idf {

// One infCorrecao of a CT-e correction letter (UTF-8, as read).
struct CorrecaoLida {
    std::optional<std::string> grupoAlterado;
    std::optional<std::string> campoAlterado;
    std::optional<std::string> valorAlterado;
    std::optional<std::string> nroItemAlterado;
};

// The texts of one event (UTF-8, as read, none when the element is absent
// or holds more than text).
struct EventoLido {
    std::string arquivo;   // the full path of the file holding it
    std::string nome;      // the file's name as listed
    bool anexada = false;  // an answer inside a document, without request

    struct Pedido {
        std::optional<std::string> tpEvento;
        std::optional<std::string> chave;  // chNFe / chCTe
        std::optional<std::string> nSeqEvento;
        std::optional<std::string> tpAmb;
        std::optional<std::string> dhEvento;
        // The detail: detEvento of an NF-e event, the one element inside
        // detEvento of a CT-e event.
        std::optional<std::string> descEvento;
        std::optional<std::string> xCorrecao;
        std::optional<std::string> xJust;
        std::optional<std::string> xObs;
        std::optional<std::string> xJustMotivo;
        std::optional<std::string> nProtEvento;      // NF-e: the event an event cancels
        std::optional<std::string> nProtEvPrestDes;  // CT-e: the disagreement cancelled
        std::optional<std::string> nProtCE;          // CT-e: the event cancelled
        std::vector<CorrecaoLida> infCorrecao;
    } pedido;

    struct Resposta {
        std::optional<std::string> tpEvento;
        std::optional<std::string> chave;
        std::optional<std::string> nSeqEvento;
        std::optional<std::string> tpAmb;
        std::optional<std::string> cStat;
        std::optional<std::string> nProt;
        std::optional<std::string> dhRegEvento;
        std::optional<std::string> xEvento;
    } resposta;
};

}  // namespace idf
