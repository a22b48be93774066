#include "search/eventos.hpp"

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

DetalheEvento le_detalhe(xml::Node det_evento, bool wrapped) {
    xml::Node detalhe = det_evento;
    if (detalhe && wrapped) {
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

// Whether `element` is named `local`, in a namespace of the fiscal
// documents or in none. Namespace names compare without regard to letter
// case, as the tree compares them.
bool in_fiscal_namespace(xml::Node element, std::string_view local) {
    if (element.local_name() != local) return false;
    constexpr std::string_view prefix = "http://www.portalfiscal.inf.br/";
    const std::string& uri = element.namespace_uri();
    if (uri.empty()) return true;
    if (uri.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = uri[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i]) return false;
    }
    return true;
}

// `root` and every element below it, in document order: `visit` is called
// with each and tells whether to go inside it.
template <class Visit>
void walk_elements(xml::Node root, Visit visit) {
    std::vector<xml::Node> resume_at;  // at each open level, the node after the element opened
    xml::Node node = root;
    while (node) {
        const xml::Node next = node == root ? xml::Node() : node.next_sibling();
        if (node.type() == xml::NodeType::element && visit(node)) {
            if (const xml::Node child = node.first_child()) {
                resume_at.push_back(next);
                node = child;
                continue;
            }
        }
        node = next;
        while (!node && !resume_at.empty()) {
            node = resume_at.back();
            resume_at.pop_back();
        }
    }
}

// An event file's request and answer under `proc`.
void le_arquivo_de_evento(xml::Node proc, const DocumentType::Names& names, std::string_view chave,
                          bool so_cancelamento, std::vector<Evento>& eventos) {
    const xml::Node pedido = info(proc.find(names.event));
    if (!da_chave(pedido, names.key, chave)) return;
    Evento& evento = eventos.emplace_back();
    evento.so_cancelamento = so_cancelamento;
    evento.pedido = le_pedido(pedido, names);
    evento.resposta = le_resposta(info(proc.find(names.event_answer)), names.key);
}

// An answer without its request.
void le_resposta_sem_pedido(xml::Node resposta, const DocumentType::Names& names, std::string_view chave,
                            bool so_cancelamento, std::vector<Evento>& eventos) {
    const xml::Node inf = info(resposta);
    if (!da_chave(inf, names.key, chave)) return;
    Evento& evento = eventos.emplace_back();
    evento.anexado = true;
    evento.so_cancelamento = so_cancelamento;
    evento.resposta = le_resposta(inf, names.key);
}

// The distribution's summary of an event.
void le_resumo(xml::Node resumo, const DocumentType::Names& names, std::string_view chave,
               std::vector<Evento>& eventos) {
    if (!da_chave(resumo, names.key, chave)) return;
    Evento& evento = eventos.emplace_back();
    evento.resumo = true;
    evento.so_cancelamento = true;
    evento.resposta = {codigo(resumo, "tpEvento"),
                       codigo(resumo, names.key),
                       std::nullopt,
                       texto(resumo, "nSeqEvento"),
                       std::nullopt,
                       texto(resumo, "nProt"),
                       texto(resumo, "dhRecbto"),
                       texto(resumo, "xEvento")};
}

bool has_text(const std::optional<std::string>& text) { return text && !is_blank(*text); }

bool one_of(const std::optional<std::string>& text, std::initializer_list<std::string_view> values) {
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
    const bool arquivo_de_evento = nome == names.event_proc;
    if (arquivo_de_evento) le_arquivo_de_evento(root, names, chave, false, eventos);
    const bool com_protocolo = names.is_proc(nome);
    const bool documento =
        com_protocolo || nome == names.element || (!names.variant_element.empty() && nome == names.variant_element);
    // Inside a document with its protocol the answers appended to it; in a
    // file that is neither a document nor an event file, the replies of
    // the authority wherever they sit.
    const bool respostas = com_protocolo || (!documento && !arquivo_de_evento);
    const bool resumos = !names.event_summary.empty();
    if (!respostas && !resumos) return;
    walk_elements(root, [&](xml::Node element) {
        if (respostas) {
            if (in_fiscal_namespace(element, names.event_answer)) {
                le_resposta_sem_pedido(element, names, chave, !com_protocolo, eventos);
                return true;
            }
            // An event file's answer belongs to its request.
            if (!com_protocolo && in_fiscal_namespace(element, names.event_proc)) {
                le_arquivo_de_evento(element, names, chave, true, eventos);
                return false;
            }
        }
        if (resumos && in_fiscal_namespace(element, names.event_summary)) le_resumo(element, names, chave, eventos);
        return true;
    });
}

bool pertence_ao_documento(const Evento& evento, const std::optional<std::string>& tp_amb) {
    if (evento.pedido) {
        const RespostaEvento& resposta = evento.resposta;
        if (has_text(resposta.chave) && resposta.chave != evento.pedido->chave) return false;
        if (has_text(resposta.tpEvento) && resposta.tpEvento != evento.pedido->tpEvento) return false;
    }
    const auto& ambiente = evento.tpAmb();
    return !has_text(ambiente) || !has_text(tp_amb) || *ambiente == trim(*tp_amb);
}

bool cancela_documento(std::string_view tp_evento) {
    return tp_evento == tipo_cancelamento || tp_evento == tipo_cancelamento_substituicao;
}

bool cancela(const Evento& evento) {
    return evento.tpEvento() && cancela_documento(*evento.tpEvento()) &&
           (evento.resumo || one_of(evento.resposta.cStat, {"135", "136", "155"}));
}

}  // namespace idf
