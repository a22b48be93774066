#include "search/classify.hpp"

#include <optional>
#include <string>

#include "values/text.hpp"

namespace idf {

namespace {

// The text of `element`, ANSI, without blanks at either end; none when the
// element is missing or holds more than text.
std::optional<std::string> texto(xml::Node element) {
    if (!element) return std::nullopt;
    try {
        return std::string(trim(to_ansi(element.text())));
    } catch (const DataError&) {
        return std::nullopt;
    }
}

}  // namespace

Achado classifica(xml::Node root, const DocumentType::Names& names, std::string_view chave) {
    if (!root || root.type() != xml::NodeType::element) return Achado::nenhum;
    const std::string& nome = root.local_name();
    if (nome == names.summary) return texto(root.find(names.key)) == chave ? Achado::resumo : Achado::nenhum;
    xml::Node documento;
    if (nome == names.element || (!names.variant_element.empty() && nome == names.variant_element))
        documento = root;
    else if (names.is_proc(nome) && !root.find(names.protocol))
        documento = root.find(names.element_under(nome));
    const xml::Node info = documento ? documento.find(names.info) : xml::Node();
    if (!info) return Achado::nenhum;
    const auto id = info.attribute("Id");
    if (!id) return Achado::nenhum;
    // The Id's prefix is the type's (CTe for a CT-e OS too).
    const std::string esperado = std::string(names.element) + std::string(chave);
    try {
        return to_ansi(*id) == esperado ? Achado::sem_protocolo : Achado::nenhum;
    } catch (const DataError&) {
        return Achado::nenhum;
    }
}

}  // namespace idf
