#include "search/cancelamento.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/messages.hpp"
#include "search/eventos.hpp"
#include "search/folder_scan.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

std::string mensagem(const DocumentType::Names& names, const Evento& evento) {
    std::string text = "A " + std::string(names.element) + " foi Cancelada: o Arquivo " + evento.nome;
    if (evento.resumo)
        text += " Contém o Resumo do Evento de Cancelamento " + evento.tpEvento().value_or("") + " (Protocolo " +
                std::string(trim(evento.resposta.nProt.value_or(""))) + ").";
    else
        text += " Contém o Evento de Cancelamento " + evento.tpEvento().value_or("") + " (Situação " +
                evento.resposta.cStat.value_or("") + ").";
    text += msg::abortada;
    return text;
}

std::string mensagem_ilegivel(const DocumentType::Names& names, const ArquivoIlegivel& arquivo) {
    std::string text = "O Sistema não Conseguiu Ler o Arquivo " + arquivo.nome +
                       " da Pasta, que Pode Conter o Evento de Cancelamento da " + std::string(names.element) + ".";
    text += msg::abortada;
    return text;
}

}  // namespace

void verifica_cancelamento(Import& import, std::u16string_view chave_lida) {
    const DocumentType::Names& names = import.document_type().names;
    // The search has read the folder already; the dialog way reads the
    // folder of the chosen file now.
    if (!import.varredura())
        import.set_varredura(
            std::make_shared<const ScanResult>(scan_document_folder(import, to_ansi(trim(chave_lida)))));
    const ScanResult* varredura = import.varredura();

    const std::optional<std::string>& tp_amb = import.protocolo_lido().tpAmb;
    for (const Evento& evento : varredura->eventos) {
        if (!cancela(evento) || !pertence_ao_documento(evento, tp_amb)) continue;
        const std::string text = mensagem(names, evento);
        std::optional<std::string> c_stat;
        if (!evento.resumo) c_stat = evento.resposta.cStat.value_or("");
        import.set_cancelamento({evento.arquivo, evento.tpEvento().value_or(""), std::move(c_stat),
                                 evento.resposta.nProt, evento.resposta.dhRegEvento});
        import.abort(text);
    }
    for (const ArquivoIlegivel& arquivo : varredura->ilegiveis)
        if (arquivo.pode_cancelar) import.abort(mensagem_ilegivel(names, arquivo));
}

}  // namespace idf
