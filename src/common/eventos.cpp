#include "common/eventos.hpp"

#include <initializer_list>

#include "values/text.hpp"

namespace idf {

namespace {

// The text of the child `name` of `element`, as read; none when either is
// missing or the child holds more than text. Never adds a node.
std::optional<std::string> texto(xml::Node element, std::string_view name) {
    if (!element) return std::nullopt;
    const xml::Node node = element.find(name);
    if (!node) return std::nullopt;
    if (!node.first_child()) return std::string();
    try {
        return utf16_to_utf8(node.text());
    } catch (const xml::XmlDocError&) {
        return std::nullopt;
    }
}

// A code: the child's text and CDATA joined, comments and processing
// instructions left out, trimmed; none when missing or holding an element.
std::optional<std::u16string> codigo16(xml::Node element, std::string_view name) {
    if (!element) return std::nullopt;
    const xml::Node node = element.find(name);
    if (!node) return std::nullopt;
    try {
        return std::u16string(trim(node.joined_text()));
    } catch (const xml::XmlDocError&) {
        return std::nullopt;
    }
}

std::optional<std::string> codigo(xml::Node element, std::string_view name) {
    const auto code = codigo16(element, name);
    if (!code) return std::nullopt;
    return utf16_to_utf8(*code);
}

xml::Node info(xml::Node element) { return element ? element.find("infEvento") : xml::Node(); }

RespostaEvento le_resposta(xml::Node inf, std::string_view key_name) {
    return {codigo(inf, "tpEvento"), codigo(inf, key_name), codigo(inf, "tpAmb"),      texto(inf, "nSeqEvento"),
            codigo(inf, "cStat"),    texto(inf, "nProt"),   texto(inf, "dhRegEvento"), texto(inf, "xEvento")};
}

DetalheEvento le_detalhe(xml::Node det_evento, bool embrulhado) {
    xml::Node detalhe = det_evento;
    if (detalhe && embrulhado) {
        // The CT-e's detail is the one element inside detEvento.
        detalhe = detalhe.first_child();
        while (detalhe && detalhe.type() != xml::NodeType::element) detalhe = detalhe.next_sibling();
    }
    DetalheEvento out{texto(detalhe, "descEvento"),
                      texto(detalhe, "xCorrecao"),
                      texto(detalhe, "xJust"),
                      texto(detalhe, "xObs"),
                      texto(detalhe, "xJustMotivo"),
                      texto(detalhe, "nProtEvento"),
                      texto(detalhe, "nProtEvPrestDes"),
                      texto(detalhe, "nProtCE"),
                      {}};
    if (!detalhe) return out;
    for (xml::Node correcao = detalhe.find("infCorrecao"); correcao; correcao = detalhe.find("infCorrecao", correcao))
        out.correcoes.push_back({texto(correcao, "grupoAlterado"), texto(correcao, "campoAlterado"),
                                 texto(correcao, "valorAlterado"), texto(correcao, "nroItemAlterado")});
    return out;
}

PedidoEvento le_pedido(xml::Node inf, const DocumentType::Names& names) {
    return {
        codigo(inf, "tpEvento"),  codigo(inf, names.key),
        texto(inf, "nSeqEvento"), codigo(inf, "tpAmb"),
        texto(inf, "dhEvento"),   le_detalhe(inf ? inf.find("detEvento") : xml::Node(), names.event_detail_wrapped)};
}

// Whether the key element of `inf` holds `chave`.
bool da_chave(xml::Node inf, std::string_view key_name, std::string_view chave) {
    const auto key = codigo16(inf, key_name);
    return key && to_ansi(*key) == chave;
}

// Every <answer> at any depth below `root`, in document order.
void respostas_anexadas(xml::Node root, const DocumentType::Names& names, std::string_view chave,
                        std::vector<Evento>& eventos) {
    struct Nivel {
        xml::Node pai;
        xml::Node proximo;   // the next child to visit
        xml::Node resposta;  // the next child that is an answer
    };
    std::vector<Nivel> pilha{{root, root.first_child(), root.find(names.event_answer)}};
    while (!pilha.empty()) {
        Nivel& nivel = pilha.back();
        const xml::Node filho = nivel.proximo;
        if (!filho) {
            pilha.pop_back();
            continue;
        }
        nivel.proximo = filho.next_sibling();
        if (filho.type() != xml::NodeType::element) continue;
        if (filho == nivel.resposta) {
            nivel.resposta = nivel.pai.find(names.event_answer, filho);
            const xml::Node inf = info(filho);
            if (da_chave(inf, names.key, chave)) {
                Evento& evento = eventos.emplace_back();
                evento.anexado = true;
                evento.resposta = le_resposta(inf, names.key);
            }
        }
        pilha.push_back({filho, filho.first_child(), filho.find(names.event_answer)});
    }
}

bool dado(const std::optional<std::string>& text) { return text && !is_blank(*text); }

bool um_de(const std::optional<std::string>& text, std::initializer_list<std::string_view> values) {
    if (!text) return false;
    for (const std::string_view v : values)
        if (*text == v) return true;
    return false;
}

}  // namespace

void le_eventos(xml::Node root, const DocumentType::Names& names, std::string_view chave,
                std::vector<Evento>& eventos) {
    if (!root) return;
    const std::string& nome = root.local_name();
    if (names.is_proc(nome)) {
        respostas_anexadas(root, names, chave, eventos);
    } else if (nome == names.event_proc) {
        const xml::Node pedido = info(root.find(names.event));
        if (!da_chave(pedido, names.key, chave)) return;
        Evento& evento = eventos.emplace_back();
        evento.pedido = le_pedido(pedido, names);
        evento.resposta = le_resposta(info(root.find(names.event_answer)), names.key);
    }
}

bool pertence_ao_documento(const Evento& evento, const std::optional<std::string>& tp_amb) {
    if (evento.pedido) {
        const RespostaEvento& resposta = evento.resposta;
        if (dado(resposta.chave) && resposta.chave != evento.pedido->chave) return false;
        if (dado(resposta.tpEvento) && resposta.tpEvento != evento.pedido->tpEvento) return false;
    }
    const auto& ambiente = evento.tpAmb();
    return !dado(ambiente) || !dado(tp_amb) || *ambiente == trim(*tp_amb);
}

bool cancela_documento(std::string_view tp_evento) {
    return tp_evento == tipo_cancelamento || tp_evento == tipo_cancelamento_substituicao;
}

bool cancela(const Evento& evento) {
    return evento.tpEvento() && cancela_documento(*evento.tpEvento()) &&
           um_de(evento.resposta.cStat, {"135", "136", "155"});
}

}  // namespace idf
