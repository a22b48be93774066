// The XML parser on systems without a DOM of their own: libxml2.
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <memory>
#include <mutex>

#include "common/text.hpp"
#include "common/xml.hpp"

namespace idf::xml {

namespace {

// External resources are never fetched, whatever the document declares.
xmlParserInputPtr refuse_external_entity(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void ignore_generic_error(void*, const char*, ...) {}

// The first error of a parse: the one that made the document unusable.
// The parser may go on and report follow-up errors (such as a premature
// end of data) that tell less about where the file is wrong.
struct FirstError {
    bool found = false;
    std::string message;
    int line = 0;
};

void capture_error(void* data, xmlErrorPtr error) {
    auto* first = static_cast<FirstError*>(data);
    if (first->found || !error || error->level < XML_ERR_ERROR) return;
    first->found = true;
    first->message = error->message ? error->message : "";
    first->line = error->line;
}

// Routes the parser's messages of this thread to `first` while a parse
// runs, and gives the host's own handlers back afterwards: nothing is
// printed, and a host that uses the parser itself keeps its settings.
class ErrorCapture {
public:
    explicit ErrorCapture(FirstError& first)
        : generic_(xmlGenericError),
          generic_context_(xmlGenericErrorContext),
          structured_(xmlStructuredError),
          structured_context_(xmlStructuredErrorContext) {
        xmlSetGenericErrorFunc(nullptr, ignore_generic_error);
        xmlSetStructuredErrorFunc(&first, capture_error);
    }
    ~ErrorCapture() {
        xmlSetGenericErrorFunc(generic_context_, generic_);
        xmlSetStructuredErrorFunc(structured_context_, structured_);
    }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

private:
    xmlGenericErrorFunc generic_;
    void* generic_context_;
    xmlStructuredErrorFunc structured_;
    void* structured_context_;
};

void init_once() {
    static std::once_flag flag;
    std::call_once(flag, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuse_external_entity);
    });
}

struct CtxtDeleter {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::u16string content(const xmlChar* text) {
    return text ? utf8_to_utf16(reinterpret_cast<const char*>(text)) : std::u16string();
}

std::string chars(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : std::string(); }

void walk(xmlNode* first, TreeBuilder& builder);

void visit(xmlNode* node, TreeBuilder& builder) {
    switch (node->type) {
        case XML_ELEMENT_NODE: {
            std::string local = chars(node->name);
            std::string prefix = node->ns ? chars(node->ns->prefix) : std::string();
            std::string uri = node->ns ? chars(node->ns->href) : std::string();
            std::string qualified = prefix.empty() ? local : prefix + ":" + local;
            builder.start_element(std::move(qualified), std::move(local), std::move(prefix), std::move(uri));
            walk(node->children, builder);
            builder.end_element();
            break;
        }
        case XML_TEXT_NODE:
            builder.text(content(node->content));
            break;
        case XML_CDATA_SECTION_NODE:
            builder.cdata(content(node->content));
            break;
        case XML_COMMENT_NODE:
            builder.comment(content(node->content));
            break;
        case XML_PI_NODE:
            builder.processing_instruction(chars(node->name), content(node->content));
            break;
        case XML_ENTITY_REF_NODE:
            // Entities are substituted while parsing; a reference left over
            // names an entity that could not be resolved (an external one)
            // and contributes nothing.
            break;
        default:
            break;
    }
}

void walk(xmlNode* first, TreeBuilder& builder) {
    for (xmlNode* node = first; node; node = node->next) visit(node, builder);
}

struct BufferDeleter {
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

// The document's text in UTF-8, decoded as the parser decoded it (the
// encoding it detected or that the file declares), as far as it decodes.
// The parse error's source line is taken from it, so that the message holds
// characters, whatever the file's encoding.
std::string decoded_text(xmlParserCtxt* ctxt, std::string_view bytes) {
    const xmlCharEncodingHandler* used = ctxt->input && ctxt->input->buf ? ctxt->input->buf->encoder : nullptr;
    std::string text;
    if (used && used->name) {
        xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(used->name);
        std::unique_ptr<xmlBuffer, BufferDeleter> in(xmlBufferCreate());
        std::unique_ptr<xmlBuffer, BufferDeleter> out(xmlBufferCreate());
        if (handler && in && out &&
            xmlBufferAdd(in.get(), reinterpret_cast<const xmlChar*>(bytes.data()), static_cast<int>(bytes.size())) ==
                0) {
            xmlCharEncInFunc(handler, out.get(), in.get());
            text.assign(reinterpret_cast<const char*>(xmlBufferContent(out.get())),
                        static_cast<std::size_t>(xmlBufferLength(out.get())));
        }
        if (handler) xmlCharEncCloseFunc(handler);
    } else {
        text = bytes;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    return text;
}

}  // namespace

void parse_xml(std::string_view bytes, TreeBuilder& builder) {
    init_once();
    FirstError first;
    const ErrorCapture capture(first);
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw ParseError("The file is too large.", 0, "");

    std::unique_ptr<xmlParserCtxt, CtxtDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt) throw ParseError("Out of memory.", 0, "");
    // Entities are substituted (NOENT) but external ones are refused by the
    // loader above; no network, no DTD loading, no validation.
    const int options = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;
    std::unique_ptr<xmlDoc, DocDeleter> doc(
        xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
    const xmlError* last = xmlCtxtGetLastError(ctxt.get());
    if (!doc || !ctxt->wellFormed || first.found || (last && last->level >= XML_ERR_ERROR)) {
        std::string reason = first.found             ? first.message
                             : last && last->message ? last->message
                                                     : "The document could not be parsed.";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
        if (reason.empty()) reason = "The document could not be parsed.";
        const int line = first.found ? first.line : last ? last->line : 0;
        throw ParseError(reason, line, source_line(decoded_text(ctxt.get(), bytes), line));
    }
    walk(doc->children, builder);
}

}  // namespace idf::xml
