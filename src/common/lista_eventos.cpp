#include "common/lista_eventos.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "common/fields.hpp"
#include "search/folder_scan.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

std::string_view aparado(const std::optional<std::string>& text) {
    return text ? trim(std::string_view(*text)) : std::string_view();
}

// The first text that is not blank, as read.
std::optional<std::string> primeiro(std::initializer_list<const std::optional<std::string>*> texts) {
    for (const auto* text : texts)
        if (text->has_value() && !is_blank(**text)) return **text;
    return std::nullopt;
}

// The answer's nProt of the event that an event of type `tipo` cancels;
// none when the event cancels no other.
std::optional<std::string_view> evento_cancelado(const Evento& evento, std::string_view tipo) {
    const DetalheEvento* detalhe = evento.pedido ? &evento.pedido->detalhe : nullptr;
    const auto nomeado = [&](const std::optional<std::string> DetalheEvento::*campo) {
        return detalhe ? aparado(detalhe->*campo) : std::string_view();
    };
    if (tipo == "110001" || tipo == "110193") return nomeado(&DetalheEvento::nProtEvento);
    if (tipo == "610111") return nomeado(&DetalheEvento::nProtEvPrestDes);
    if (tipo == "110181") return nomeado(&DetalheEvento::nProtCE);
    return std::nullopt;
}

// The request's texts, or none for an answer inside a document.
const std::optional<std::string>& do_pedido(const Evento& evento, std::optional<std::string> PedidoEvento::*campo) {
    static const std::optional<std::string> nenhum;
    return evento.pedido ? (*evento.pedido).*campo : nenhum;
}
const std::optional<std::string>& do_detalhe(const Evento& evento, std::optional<std::string> DetalheEvento::*campo) {
    static const std::optional<std::string> nenhum;
    return evento.pedido ? evento.pedido->detalhe.*campo : nenhum;
}

using namespace transform;

// The lines of one event, the CT-e corrections standing between the two
// tables.
const Field evento_inicio[] = {
    {"Tipo_Evento=", "tpEvento", as_read, Kind::never},
    {"Descricao_Evento=", "descEvento", as_read, Kind::optional},
    {"Sequencia_Evento=", "nSeqEvento", as_integer, Kind::optional},
    {"Data_Evento=", "dhEvento", date, Kind::optional},
    {"Data_Registro_Evento=", "dhRegEvento", date, Kind::optional},
    {"Protocolo_Evento=", "nProt", as_read, Kind::optional},
    {"Situacao_Evento=", "cStat", as_read, Kind::never},
    {"Correcao_Evento=", "xCorrecao", as_read, Kind::optional},
};
const Field correcao[] = {
    {"Grupo_Correcao=", "grupoAlterado", as_read, Kind::never},
    {"Campo_Correcao=", "campoAlterado", as_read, Kind::never},
    {"Valor_Correcao=", "valorAlterado", as_read, Kind::never},
    {"Item_Correcao=", "nroItemAlterado", as_read, Kind::optional},
};
const Field evento_fim[] = {
    {"Justificativa_Evento=", "justificativa", as_read, Kind::optional},
    {"Arquivo_Evento=", "arquivo", as_read, Kind::never},
};

std::u16string utf16(const std::optional<std::string>& text) { return text ? utf8_to_utf16(*text) : std::u16string(); }
std::u16string utf16(std::string_view text) { return utf8_to_utf16(text); }
std::u16string utf16(const std::string& text) { return utf8_to_utf16(text); }

std::u16string texto_do_evento(const Evento& evento, std::string_view nome) {
    if (nome == "tpEvento") return utf16(tipo_evento(evento));
    if (nome == "descEvento") return utf16(descricao_evento(evento));
    if (nome == "nSeqEvento") return utf16(sequencia_evento(evento));
    if (nome == "dhEvento") return utf16(do_pedido(evento, &PedidoEvento::dhEvento));
    if (nome == "dhRegEvento") return utf16(evento.resposta.dhRegEvento);
    if (nome == "nProt") return utf16(aparado(evento.resposta.nProt));
    if (nome == "cStat") return utf16(aparado(evento.resposta.cStat));
    if (nome == "xCorrecao") return utf16(do_detalhe(evento, &DetalheEvento::xCorrecao));
    if (nome == "justificativa") return utf16(justificativa_evento(evento));
    if (nome == "arquivo") return utf16(evento.nome);
    return {};
}

std::u16string texto_da_correcao(const CorrecaoCTe& correcao, std::string_view nome) {
    if (nome == "grupoAlterado") return utf16(correcao.grupoAlterado);
    if (nome == "campoAlterado") return utf16(correcao.campoAlterado);
    if (nome == "valorAlterado") return utf16(correcao.valorAlterado);
    if (nome == "nroItemAlterado") return utf16(correcao.nroItemAlterado);
    return {};
}

}  // namespace

std::string tipo_evento(const Evento& evento) {
    std::string_view tipo = aparado(do_pedido(evento, &PedidoEvento::tpEvento));
    if (tipo.empty()) tipo = aparado(evento.resposta.tpEvento);
    return std::string(tipo);
}

std::optional<std::string> descricao_evento(const Evento& evento) {
    return primeiro({&do_detalhe(evento, &DetalheEvento::descEvento), &evento.resposta.xEvento});
}

std::optional<std::string> sequencia_evento(const Evento& evento) {
    return primeiro({&do_pedido(evento, &PedidoEvento::nSeqEvento), &evento.resposta.nSeqEvento});
}

std::optional<std::string> justificativa_evento(const Evento& evento) {
    return primeiro({&do_detalhe(evento, &DetalheEvento::xJust), &do_detalhe(evento, &DetalheEvento::xObs),
                     &do_detalhe(evento, &DetalheEvento::xJustMotivo)});
}

std::vector<Evento> eventos_a_listar(std::span<const Evento> encontrados) {
    std::vector<const Evento*> registrados;
    std::set<std::string_view> cancelados;
    for (const Evento& evento : encontrados) {
        if (evento.so_cancelamento) continue;
        const std::string_view c_stat = aparado(evento.resposta.cStat);
        if (c_stat != "135" && c_stat != "136") continue;
        const std::string tipo = tipo_evento(evento);
        if (cancela_documento(tipo)) continue;
        if (const auto cancelado = evento_cancelado(evento, tipo)) {
            if (!cancelado->empty()) cancelados.insert(*cancelado);
            continue;
        }
        registrados.push_back(&evento);
    }

    // One event per protocol number, the first of an event file winning
    // over an answer inside a document.
    std::vector<const Evento*> unicos;
    std::map<std::string_view, std::size_t> por_protocolo;
    for (const Evento* evento : registrados) {
        const std::string_view n_prot = aparado(evento->resposta.nProt);
        if (n_prot.empty()) {
            unicos.push_back(evento);
            continue;
        }
        if (cancelados.contains(n_prot)) continue;
        const auto [at, novo] = por_protocolo.try_emplace(n_prot, unicos.size());
        if (novo)
            unicos.push_back(evento);
        else if (unicos[at->second]->anexado && !evento->anexado)
            unicos[at->second] = evento;
    }

    std::stable_sort(unicos.begin(), unicos.end(), [](const Evento* a, const Evento* b) {
        const std::string_view da = aparado(a->resposta.dhRegEvento);
        const std::string_view db = aparado(b->resposta.dhRegEvento);
        if (da.empty() || db.empty()) return !da.empty() && db.empty();
        return da < db;
    });
    std::vector<Evento> lista;
    lista.reserve(unicos.size());
    for (const Evento* evento : unicos) lista.push_back(*evento);
    return lista;
}

void escreve_eventos(Import& import) {
    std::vector<Evento> daqui;
    if (const ScanResult* varredura = import.varredura()) {
        const std::optional<std::string>& tp_amb = import.protocolo_lido().tpAmb;
        for (const Evento& evento : varredura->eventos)
            if (pertence_ao_documento(evento, tp_amb)) daqui.push_back(evento);
    }
    auto lista = std::make_shared<std::vector<Evento>>(eventos_a_listar(daqui));
    if (!lista->empty()) {
        import.write_empty_line();
        import.write_line("[EVENTOS]");
        for (std::size_t i = 0; i < lista->size(); ++i) {
            const Evento& evento = (*lista)[i];
            const std::string sufixo = '_' + std::to_string(i + 1);
            const RecordText do_evento = [&](std::string_view nome) { return texto_do_evento(evento, nome); };
            write_record_fields(import, do_evento, evento_inicio, sufixo);
            if (evento.pedido)
                for (std::size_t k = 0; k < evento.pedido->detalhe.correcoes.size(); ++k) {
                    const CorrecaoCTe& lida = evento.pedido->detalhe.correcoes[k];
                    write_record_fields(
                        import, [&](std::string_view nome) { return texto_da_correcao(lida, nome); }, correcao,
                        sufixo + '_' + std::to_string(k + 1));
                }
            write_record_fields(import, do_evento, evento_fim, sufixo);
        }
        import.write_line("[QUANTIDADE_EVENTOS]");
        import.write_value("Eventos=", std::to_string(lista->size()));
    }
    import.set_eventos_listados(std::move(lista));
}

}  // namespace idf
