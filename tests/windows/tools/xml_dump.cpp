// xml_dump OUTPUT FILE...: writes, for every file, the tree that the XML
// layer builds from it (node kinds, names, namespaces, the attributes the
// readers look up and texts, UTF-8; every attribute with its namespace; the
// canonical form of the document element), or "PARSE ERROR" followed by a "#" line
// with the parser's message. The same source is built with each parser
// backend; the outputs, "#" lines aside, must be identical.
#ifdef _WIN32
#include <objbase.h>
#endif

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "values/text.hpp"
#include "xml/canonical.hpp"
#include "xml/tree.hpp"

namespace {

using namespace idf::xml;

std::string escaped(const std::u16string& text) {
    std::string out;
    for (const char c : idf::utf16_to_utf8(text)) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

void dump(Node node, int depth, std::ostream& out) {
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ');
    switch (node.type()) {
        case NodeType::element:
            out << "E " << node.name() << " local=" << node.local_name() << " ns=" << node.namespace_uri();
            // The attributes the readers look up.
            for (const char* name : {"Id", "versao", "nItem", "xml:space"})
                if (const auto value = node.attribute(name)) out << " @" << name << "=\"" << escaped(*value) << '"';
            // Every attribute with its namespace, as the canonical form
            // sorts them.
            for (const AttributeView& attribute : node.attributes())
                out << " {" << attribute.namespace_uri << '}' << attribute.name << "=\""
                    << escaped(idf::utf8_to_utf16(attribute.value)) << '"';
            out << '\n';
            for (Node child = node.first_child(); child; child = child.next_sibling()) dump(child, depth + 1, out);
            return;
        case NodeType::text:
            out << "T \"" << escaped(node.text()) << "\"\n";
            return;
        case NodeType::cdata:
            out << "C \"" << escaped(node.text()) << "\"\n";
            return;
        case NodeType::comment:
            out << "M \"" << escaped(node.text()) << "\"\n";
            return;
        case NodeType::processing_instruction:
            out << "P " << node.name() << " \"" << escaped(node.text()) << "\"\n";
            return;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
    std::ofstream out(argv[1], std::ios::binary);
    for (int i = 2; i < argc; ++i) {
        std::string path = argv[i];
        const std::size_t slash = path.find_last_of("\\/");
        out << "== " << (slash == std::string::npos ? path : path.substr(slash + 1)) << '\n';
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Document doc;
        try {
            doc.load(bytes, path);
            dump(doc.document_element(), 0, out);
            // The bytes a signature covers, the same from either parser.
            out << "K " << escaped(idf::utf8_to_utf16(canonical_xml(doc.document_element()))) << '\n';
        } catch (const std::exception& error) {
            std::string message = error.what();
            for (char& c : message)
                if (c == '\r' || c == '\n') c = ' ';
            out << "PARSE ERROR\n# " << message << '\n';
        }
    }
    return out ? 0 : 1;
}
