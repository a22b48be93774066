// The XML parser on Windows: the MSXML DOM through COM.
//
// The bytes are handed to MSXML as an array of bytes, so that MSXML reads
// the encoding the document declares. The DOM is walked once, iteratively,
// into the library's own tree and released before returning; nothing of
// MSXML outlives one call.
//
// Differences from the other backends are evened out here:
//  - the XML declaration, which MSXML shows as a processing instruction
//    named "xml", and the document type node are left out;
//  - entity-reference nodes are replaced by their content;
//  - elements nested deeper than max_depth are refused, as the other
//    backend refuses them;
//  - internal entities are measured before parsing (entity_guard.hpp), and
//    external resources are never resolved.
#include <windows.h>

#include "xml/builder.hpp"
// After windows.h, which it needs.
#include <msxml2.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/windows/com.hpp"
#include "values/text.hpp"
#include "xml/entity_guard.hpp"

namespace idf::xml {

namespace {

using win::Bstr;
using win::ComPtr;
using win::Variant;

// DOM document classes, tried in this order: MSXML 4.0, 3.0, 2.6, then the
// version-independent class.
constexpr CLSID dom_document_classes[] = {
    {0x88D969C0, 0xF192, 0x11D4, {0xA6, 0x5F, 0x00, 0x40, 0x96, 0x32, 0x51, 0xE5}},
    {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}},
    {0xF5078F1B, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}},
    {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}},
};
constexpr IID iid_dom_document = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID iid_dom_document2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// The deepest element nesting accepted, as in the other backend.
constexpr int max_depth = 257;

std::string utf8(const std::u16string& text) { return utf16_to_utf8(text); }

ComPtr<IXMLDOMDocument> create_document() {
    ComPtr<IXMLDOMDocument> doc;
    for (const CLSID& clsid : dom_document_classes)
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid_dom_document, doc.put_void())) && doc)
            return doc;
    // The system lacks what every file needs: no fault of any file.
    throw std::runtime_error("Microsoft MSXML is not installed");
}

void configure(IXMLDOMDocument& doc) {
    doc.put_async(VARIANT_FALSE);
    doc.put_validateOnParse(VARIANT_FALSE);
    doc.put_resolveExternals(VARIANT_FALSE);
    doc.put_preserveWhiteSpace(VARIANT_FALSE);
    // Where the version knows them: no external DTD or schema loads and a
    // bound on nesting. An unknown property is simply refused.
    ComPtr<IXMLDOMDocument2> doc2;
    if (SUCCEEDED(doc.QueryInterface(iid_dom_document2, doc2.put_void())) && doc2) {
        const auto set = [&](const wchar_t* name, VARIANT value) {
            Bstr property(name);
            doc2->setProperty(property.get(), value);
        };
        VARIANT no{};
        no.vt = VT_BOOL;
        no.boolVal = VARIANT_FALSE;
        set(L"ResolveExternals", no);
        set(L"UseInlineSchema", no);
        VARIANT depth{};
        depth.vt = VT_I4;
        depth.lVal = 4 * max_depth;
        set(L"MaxElementDepth", depth);
    }
}

// Loads the bytes; raises ParseError with MSXML's parse error when it refuses them.
void load_bytes(IXMLDOMDocument& doc, std::string_view bytes) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), 0};
    Variant source;
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    if (!array) throw std::bad_alloc();
    source.get().vt = VT_ARRAY | VT_UI1;
    source.get().parray = array;  // owned by `source` from here on
    if (!bytes.empty()) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) throw std::bad_alloc();
        CopyMemory(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
    }

    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = doc.load(source.get(), &loaded);
    if (SUCCEEDED(hr) && loaded == VARIANT_TRUE) return;
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();

    ComPtr<IXMLDOMParseError> error;
    long line = 0;
    Bstr reason, source_text;
    if (SUCCEEDED(doc.get_parseError(error.put())) && error) {
        error->get_line(&line);
        error->get_reason(reason.put());
        error->get_srcText(source_text.put());
    }
    std::u16string why = reason.str();
    // MSXML ends its reason with a line break; the message adds its own.
    while (!why.empty() && (why.back() == u'\r' || why.back() == u'\n' || why.back() == u' ')) why.pop_back();
    if (why.empty()) why = u"The document could not be parsed.";
    std::u16string shown = source_text.str();
    if (shown.size() > 40) shown.resize(40);
    throw ParseError(utf8(why), static_cast<int>(line), utf8(shown));
}

// The children of a node, walked with nextNode: some DOMs do not implement
// nextSibling on every node type (the document type node, for one).
ComPtr<IXMLDOMNodeList> children_of(IXMLDOMNode& node) {
    ComPtr<IXMLDOMNodeList> list;
    node.get_childNodes(list.put());
    return list;
}

ComPtr<IXMLDOMNode> next_in(IXMLDOMNodeList* list) {
    ComPtr<IXMLDOMNode> next;
    if (list && list->nextNode(next.put()) != S_OK) next.reset();
    return next;
}

std::u16string value_of(IXMLDOMNode& node) {
    Variant value;
    node.get_nodeValue(value.put());
    return value.str();
}

std::u16string name_of(IXMLDOMNode& node) {
    Bstr name;
    node.get_nodeName(name.put());
    return name.str();
}

// The attributes of an element, but its namespace declarations, which the
// DOM lists among them.
void add_attributes(IXMLDOMNode& element, TreeBuilder& builder) {
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(element.get_attributes(attributes.put())) || !attributes) return;
    long count = 0;
    attributes->get_length(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        if (FAILED(attributes->get_item(i, attribute.put())) || !attribute) continue;
        const std::u16string name = name_of(*attribute.get());
        if (name == u"xmlns" || name.starts_with(u"xmlns:")) continue;
        Bstr uri;
        attribute->get_namespaceURI(uri.put());
        builder.attribute(utf8(name), value_of(*attribute.get()), utf8(uri.str()));
    }
}

// Feeds the document's nodes to the builder in document order, without
// recursion: each level is the child list being walked.
void walk(IXMLDOMDocument& doc, TreeBuilder& builder) {
    struct Level {
        ComPtr<IXMLDOMNodeList> children;
        bool element;  // the level is the content of an element
    };
    std::vector<Level> levels;
    {
        ComPtr<IXMLDOMNodeList> top;
        doc.get_childNodes(top.put());
        levels.push_back({top, false});
    }
    int depth = 0;

    while (!levels.empty()) {
        ComPtr<IXMLDOMNode> node = next_in(levels.back().children.get());
        if (!node) {
            const bool element = levels.back().element;
            levels.pop_back();
            if (element) {
                builder.end_element();
                --depth;
            }
            continue;
        }
        const bool document_level = levels.size() == 1;

        DOMNodeType type = NODE_INVALID;
        node->get_nodeType(&type);
        switch (type) {
            case NODE_ELEMENT: {
                if (++depth > max_depth)
                    throw ParseError("Excessive depth in document: " + std::to_string(max_depth) + ".", 0, "");
                Bstr qualified, local, prefix, uri;
                node->get_nodeName(qualified.put());
                node->get_baseName(local.put());
                node->get_prefix(prefix.put());
                node->get_namespaceURI(uri.put());
                builder.start_element(utf8(qualified.str()), utf8(local.str()), utf8(prefix.str()), utf8(uri.str()));
                add_attributes(*node.get(), builder);
                levels.push_back({children_of(*node.get()), true});
                break;
            }
            case NODE_TEXT:
                builder.text(value_of(*node.get()));
                break;
            case NODE_CDATA_SECTION:
                builder.cdata(value_of(*node.get()));
                break;
            case NODE_COMMENT:
                builder.comment(value_of(*node.get()));
                break;
            case NODE_PROCESSING_INSTRUCTION: {
                std::u16string target = name_of(*node.get());
                if (document_level && target == u"xml") break;  // the XML declaration
                builder.processing_instruction(utf8(target), value_of(*node.get()));
                break;
            }
            case NODE_ENTITY_REFERENCE:
                // Its content takes its place.
                levels.push_back({children_of(*node.get()), false});
                break;
            default:
                // Document type, notations and the like carry no content.
                break;
        }
    }
}

}  // namespace

void parse_xml(std::string_view bytes, TreeBuilder& builder) {
    if (bytes.size() > 0x7FFFFFFF) throw ParseError("The file is too large.", 0, "");
    if (const auto problem = check_entity_expansion(bytes)) throw ParseError(problem->reason, problem->line, "");
    ComPtr<IXMLDOMDocument> doc = create_document();
    configure(*doc.get());
    load_bytes(*doc.get(), bytes);
    walk(*doc.get(), builder);
}

}  // namespace idf::xml
