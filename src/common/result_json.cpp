#include "common/result_json.hpp"

#include <nlohmann/json.hpp>

#include "common/lista_eventos.hpp"

namespace idf {

namespace {

nlohmann::ordered_json text_or_null(const std::optional<std::string>& text) {
    return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

}  // namespace

std::string result_json(const ImportResult& result, const std::vector<std::string>& mensagens) {
    const bool completed = result.outcome == Outcome::completed;
    // The members in the order of the documented object.
    nlohmann::ordered_json out;
    out["resultado"] = completed ? "concluida" : "abortada";
    out["arquivo"] = completed ? nlohmann::ordered_json(result.arquivo_ini) : nlohmann::ordered_json(nullptr);
    out["mensagens"] = mensagens;
    out["problemas"] = result.lista_problemas;
    nlohmann::ordered_json protocolo;
    protocolo["nProt"] = text_or_null(result.protocolo.nProt);
    protocolo["cStat"] = text_or_null(result.protocolo.cStat);
    protocolo["xMotivo"] = text_or_null(result.protocolo.xMotivo);
    protocolo["tpAmb"] = text_or_null(result.protocolo.tpAmb);
    out["protocolo"] = std::move(protocolo);
    if (result.cancelamento) {
        const CancelamentoLido& lido = *result.cancelamento;
        nlohmann::ordered_json cancelamento;
        cancelamento["arquivo"] = lido.arquivo;
        cancelamento["tpEvento"] = lido.tpEvento;
        cancelamento["cStat"] = text_or_null(lido.cStat);
        cancelamento["nProt"] = text_or_null(lido.nProt);
        cancelamento["dhRegEvento"] = text_or_null(lido.dhRegEvento);
        out["cancelamento"] = std::move(cancelamento);
    } else {
        out["cancelamento"] = nullptr;
    }
    if (result.eventos) {
        nlohmann::ordered_json eventos = nlohmann::ordered_json::array();
        for (const Evento& lido : *result.eventos) {
            nlohmann::ordered_json evento;
            evento["arquivo"] = lido.arquivo;
            evento["tpEvento"] = tipo_evento(lido);
            evento["descEvento"] = text_or_null(descricao_evento(lido));
            evento["nSeqEvento"] = text_or_null(sequencia_evento(lido));
            evento["dhEvento"] = lido.pedido ? text_or_null(lido.pedido->dhEvento) : nullptr;
            evento["dhRegEvento"] = text_or_null(lido.resposta.dhRegEvento);
            evento["nProt"] = text_or_null(lido.resposta.nProt);
            evento["cStat"] = text_or_null(lido.resposta.cStat);
            eventos.push_back(std::move(evento));
        }
        out["eventos"] = std::move(eventos);
    } else {
        out["eventos"] = nullptr;
    }
    if (result.autenticidade) {
        const Autenticidade& lida = *result.autenticidade;
        nlohmann::ordered_json autenticidade;
        autenticidade["conteudo"] = lida.conteudo == Autenticidade::Conteudo::confere  ? "confere"
                                    : lida.conteudo == Autenticidade::Conteudo::difere ? "difere"
                                                                                       : "indeterminado";
        autenticidade["assinatura"] = lida.assinatura == Autenticidade::Assinatura::valida     ? "valida"
                                      : lida.assinatura == Autenticidade::Assinatura::invalida ? "invalida"
                                                                                               : "ausente";
        autenticidade["cnpj_certificado"] = text_or_null(lida.cnpj_certificado);
        autenticidade["certificado_do_emitente"] = lida.certificado_do_emitente
                                                       ? nlohmann::ordered_json(*lida.certificado_do_emitente)
                                                       : nlohmann::ordered_json(nullptr);
        out["autenticidade"] = std::move(autenticidade);
    } else {
        out["autenticidade"] = nullptr;
    }
    if (result.diagnostico) {
        const Diagnostico& lido = *result.diagnostico;
        nlohmann::ordered_json diagnostico;
        diagnostico["chave_valida"] = lido.chave_valida;
        diagnostico["modelo"] = text_or_null(lido.modelo);
        diagnostico["tipo_esperado"] = lido.tipo_esperado;
        diagnostico["espacos_na_chave"] = lido.espacos_na_chave;
        diagnostico["resumos"] = lido.resumos;
        diagnostico["sem_protocolo"] = lido.sem_protocolo;
        diagnostico["ilegiveis"] = lido.ilegiveis;
        out["diagnostico"] = std::move(diagnostico);
    } else {
        out["diagnostico"] = nullptr;
    }
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace idf
