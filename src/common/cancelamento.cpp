#include "common/cancelamento.hpp"

#include <initializer_list>
#include <vector>

#include "common/folder_index.hpp"
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

// Every <answer> at any depth below `root`, in document order, until one
// cancels the document.
std::optional<CancelamentoLido> resposta_anexada(xml::Node root, const DocumentType::Names& names,
                                                 std::string_view chave) {
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
                                                std::string_view chave) {
    if (!root) return std::nullopt;
    const std::string& nome = root.local_name();
    if (nome == names.event_proc)
        return se_cancela(info(root.find(names.event)), info(root.find(names.event_answer)), names.key, chave);
    if (nome == names.proc) return resposta_anexada(root, names, chave);
    return std::nullopt;
}

void verifica_cancelamento(Import& import, std::u16string_view chave_lida) {
    Platform& platform = import.platform();
    const DocumentType::Names& names = import.document_type().names;
    const std::string chave = to_ansi(trim(chave_lida));
    const std::string& documento = import.document_path();

    std::optional<CancelamentoLido> lido = cancelamento_de(import.document_element(), names, chave);
    std::string nome;
    if (lido) {
        lido->arquivo = platform.path_to_utf8(documento);
        nome = platform.path_to_utf8(platform.file_name_part(documento));
    } else if (const auto& na_pasta = import.cancelamento_na_pasta()) {
        // The search has read the folder already.
        lido = na_pasta->lido;
        nome = na_pasta->nome;
    } else if (const auto listing = platform.list_folder_of(documento)) {
        // The dialog way: the folder of the chosen file, as the search lists
        // a folder. Files that cannot be read or parsed are passed over,
        // and so is every file that provably does not hold the key.
        const KeyPrecheck precheck(chave);
        FolderIndex indice(platform, *listing, chave);
        xml::Document outro;
        for (const std::string& name : listing->names) {
            if (is_blank(name) || indice.skips(name)) continue;
            const std::string path = platform.join_path(listing->folder, name);
            if (path == documento) continue;
            const auto bytes = platform.read_file(path);
            if (!bytes || !indice.may_carry_key(name, *bytes, precheck)) continue;
            try {
                outro.load(*bytes, path);
                lido = cancelamento_de(outro.document_element(), names, chave);
            } catch (const DataError&) {
                continue;
            }
            if (lido) {
                lido->arquivo = platform.path_to_utf8(path);
                nome = platform.path_to_utf8(name);
                break;
            }
        }
        indice.save();
    }
    if (!lido) return;
    const std::string text = mensagem(names, nome, *lido);
    import.set_cancelamento(std::move(*lido));
    import.abort(text);
}

}  // namespace idf
