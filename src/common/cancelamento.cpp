#include "common/cancelamento.hpp"

#include <initializer_list>
#include <vector>

#include "common/key_precheck.hpp"
#include "common/messages.hpp"
#include "values/text.hpp"

namespace idf {

namespace {

// The text of the child `name` of `element` (none for none); none when the
// child is missing or holds more than text. Never adds a node.
std::optional<std::u16string> texto(xml::Node element, std::string_view name) {
    if (!element) return std::nullopt;
    const xml::Node node = element.find(name);
    if (!node) return std::nullopt;
    if (!node.first_child()) return std::u16string();
    try {
        return node.text();
    } catch (const xml::XmlDocError&) {
        return std::nullopt;
    }
}

bool um_de(const std::optional<std::u16string>& text, std::initializer_list<std::u16string_view> values) {
    if (!text) return false;
    const std::u16string_view value = trim(*text);
    for (const std::u16string_view v : values)
        if (value == v) return true;
    return false;
}

// The event whose request (tpEvento, key) is `pedido` and whose answer
// (cStat, nProt, dhRegEvento) is `resposta`, both infEvento elements, when
// it cancels the document with `chave`.
std::optional<CancelamentoLido> se_cancela(xml::Node pedido, xml::Node resposta, std::string_view key_name,
                                           std::string_view chave) {
    const auto tp_evento = texto(pedido, "tpEvento");
    if (!um_de(tp_evento, {u"110111", u"110112"})) return std::nullopt;
    const auto chave_evento = texto(pedido, key_name);
    if (!chave_evento || to_ansi(trim(*chave_evento)) != chave) return std::nullopt;
    const auto c_stat = texto(resposta, "cStat");
    if (!um_de(c_stat, {u"135", u"136", u"155"})) return std::nullopt;
    return CancelamentoLido{{},
                            utf16_to_utf8(trim(*tp_evento)),
                            utf16_to_utf8(trim(*c_stat)),
                            optional_utf8(texto(resposta, "nProt")),
                            optional_utf8(texto(resposta, "dhRegEvento"))};
}

xml::Node info(xml::Node element) { return element ? element.find("infEvento") : xml::Node(); }

std::optional<std::string> utf8(xml::Node element, std::string_view name) {
    return optional_utf8(texto(element, name));
}

// The first element child of `element`, or none.
xml::Node primeiro_elemento(xml::Node element) {
    for (xml::Node node = element ? element.first_child() : xml::Node(); node; node = node.next_sibling())
        if (node.type() == xml::NodeType::element) return node;
    return {};
}

// The record of one event: the request's and the answer's infEvento (either
// may be none).
EventoLido le_evento(xml::Node pedido, xml::Node resposta, const DocumentType::Names& names) {
    EventoLido lido;
    lido.anexada = !pedido;
    if (pedido) {
        EventoLido::Pedido& p = lido.pedido;
        p.tpEvento = utf8(pedido, "tpEvento");
        p.chave = utf8(pedido, names.key);
        p.nSeqEvento = utf8(pedido, "nSeqEvento");
        p.tpAmb = utf8(pedido, "tpAmb");
        p.dhEvento = utf8(pedido, "dhEvento");
        // The detail: detEvento itself (NF-e), or the one group inside it
        // (CT-e).
        xml::Node detalhe = pedido.find("detEvento");
        if (names.element == "CTe") detalhe = primeiro_elemento(detalhe);
        p.descEvento = utf8(detalhe, "descEvento");
        p.xCorrecao = utf8(detalhe, "xCorrecao");
        p.xJust = utf8(detalhe, "xJust");
        p.xObs = utf8(detalhe, "xObs");
        p.xJustMotivo = utf8(detalhe, "xJustMotivo");
        p.nProtEvento = utf8(detalhe, "nProtEvento");
        p.nProtEvPrestDes = utf8(detalhe, "nProtEvPrestDes");
        p.nProtCE = utf8(detalhe, "nProtCE");
        if (detalhe)
            for (xml::Node c = detalhe.find("infCorrecao"); c; c = detalhe.find("infCorrecao", c))
                p.infCorrecao.push_back({utf8(c, "grupoAlterado"), utf8(c, "campoAlterado"), utf8(c, "valorAlterado"),
                                         utf8(c, "nroItemAlterado")});
    }
    EventoLido::Resposta& r = lido.resposta;
    r.tpEvento = utf8(resposta, "tpEvento");
    r.chave = utf8(resposta, names.key);
    r.nSeqEvento = utf8(resposta, "nSeqEvento");
    r.tpAmb = utf8(resposta, "tpAmb");
    r.cStat = utf8(resposta, "cStat");
    r.nProt = utf8(resposta, "nProt");
    r.dhRegEvento = utf8(resposta, "dhRegEvento");
    r.xEvento = utf8(resposta, "xEvento");
    return lido;
}

// Whether the event read belongs to the document with the access key
// `chave` and the protocol's environment `tp_amb`: the key (the request's,
// or the answer's for an answer inside a document) is the document's; the
// answer's key and type, when given, are the request's; the event's
// environment, when given, is the protocol's when that is given.
bool pertence(const EventoLido& lido, std::string_view chave, const std::optional<std::string>& tp_amb) {
    const auto igual = [](const std::optional<std::string>& a, const std::optional<std::string>& b) {
        return a && b && trim(std::string_view(*a)) == trim(std::string_view(*b));
    };
    const auto dado = [](const std::optional<std::string>& text) { return text && !is_blank(*text); };
    const auto& chave_evento = lido.anexada ? lido.resposta.chave : lido.pedido.chave;
    if (!chave_evento || trim(std::string_view(*chave_evento)) != chave) return false;
    if (!lido.anexada) {
        if (dado(lido.resposta.chave) && !igual(lido.resposta.chave, lido.pedido.chave)) return false;
        if (dado(lido.resposta.tpEvento) && !igual(lido.resposta.tpEvento, lido.pedido.tpEvento)) return false;
    }
    const auto& ambiente = lido.anexada ? lido.resposta.tpAmb : lido.pedido.tpAmb;
    return !dado(ambiente) || !dado(tp_amb) || igual(ambiente, tp_amb);
}

// Every <answer> at any depth below `root`, in document order, until one
// cancels the document.
std::optional<CancelamentoLido> resposta_anexada(xml::Node root, const DocumentType::Names& names,
                                                 std::string_view chave, std::vector<EventoLido>* eventos) {
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
            if (eventos) eventos->push_back(le_evento({}, inf, names));
            if (auto lido = se_cancela(inf, inf, names.key, chave)) return lido;
        }
        pilha.push_back({filho, filho.first_child(), filho.find(names.event_answer)});
    }
    return std::nullopt;
}

std::string mensagem(const DocumentType::Names& names, std::string_view nome, const CancelamentoLido& lido) {
    std::string text = "A " + std::string(names.element) + " foi Cancelada: o Arquivo " + std::string(nome) +
                       " Contém o Evento de Cancelamento " + lido.tpEvento + " (Situação " + lido.cStat + ").";
    text += msg::abortada;
    return text;
}

}  // namespace

std::optional<CancelamentoLido> cancelamento_de(xml::Node root, const DocumentType::Names& names,
                                                std::string_view chave, std::vector<EventoLido>* eventos) {
    if (!root) return std::nullopt;
    const std::string& nome = root.local_name();
    if (nome == names.event_proc) {
        const xml::Node pedido = info(root.find(names.event));
        const xml::Node resposta = info(root.find(names.event_answer));
        if (eventos && pedido) eventos->push_back(le_evento(pedido, resposta, names));
        return se_cancela(pedido, resposta, names.key, chave);
    }
    if (nome == names.proc) return resposta_anexada(root, names, chave, eventos);
    return std::nullopt;
}

void verifica_cancelamento(Import& import, std::u16string_view chave_lida) {
    Platform& platform = import.platform();
    const DocumentType::Names& names = import.document_type().names;
    const std::string chave = to_ansi(trim(chave_lida));
    const std::string& documento = import.document_path();

    std::vector<EventoLido> eventos;
    // Names the file of the events read since `desde`.
    const auto no_arquivo = [&](std::size_t desde, const std::string& path, const std::string& name) {
        for (std::size_t i = desde; i < eventos.size(); ++i) {
            eventos[i].arquivo = platform.path_to_utf8(path);
            eventos[i].nome = platform.path_to_utf8(name);
        }
    };
    std::optional<CancelamentoLido> lido = cancelamento_de(import.document_element(), names, chave, &eventos);
    no_arquivo(0, documento, platform.file_name_part(documento));
    std::string nome;
    if (lido) {
        lido->arquivo = platform.path_to_utf8(documento);
        nome = platform.path_to_utf8(platform.file_name_part(documento));
    } else if (const auto& na_pasta = import.cancelamento_na_pasta()) {
        // The search has read the folder already.
        lido = na_pasta->lido;
        nome = na_pasta->nome;
        eventos.insert(eventos.end(), na_pasta->eventos.begin(), na_pasta->eventos.end());
    } else if (const auto listing = platform.list_folder_of(documento)) {
        // The dialog way: the folder of the chosen file, as the search lists
        // a folder. Files that cannot be read or parsed are passed over,
        // and so is every file that provably does not hold the key.
        const KeyPrecheck precheck(chave);
        xml::Document outro;
        for (const std::string& name : listing->names) {
            if (is_blank(name)) continue;
            const std::string path = platform.join_path(listing->folder, name);
            if (path == documento) continue;
            const auto bytes = platform.read_file(path);
            if (!bytes || !precheck.may_carry_key(*bytes)) continue;
            const std::size_t desde = eventos.size();
            try {
                outro.load(*bytes, path);
                lido = cancelamento_de(outro.document_element(), names, chave, &eventos);
            } catch (const DataError&) {
                continue;
            }
            no_arquivo(desde, path, name);
            if (lido) {
                lido->arquivo = platform.path_to_utf8(path);
                nome = platform.path_to_utf8(name);
                break;
            }
        }
    }
    if (!lido) {
        std::erase_if(eventos, [&](const EventoLido& e) { return !pertence(e, chave, import.protocolo_lido().tpAmb); });
        import.set_eventos_lidos(std::move(eventos));
        return;
    }
    const std::string text = mensagem(names, nome, *lido);
    import.set_cancelamento(std::move(*lido));
    import.abort(text);
}

}  // namespace idf
