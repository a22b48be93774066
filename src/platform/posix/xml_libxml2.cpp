// The XML parser on systems without a DOM of their own: libxml2.
//
// The parser reports the document through its SAX interface straight into
// the tree builder: no libxml2 tree is built and thrown away, which halves
// the time and memory a large invoice costs. Document type declarations and
// entities are still handled by libxml2's own handlers, so internal
// entities are substituted (and their expansion bounded) as in a full parse.
#include <libxml/SAX2.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "values/text.hpp"
#include "xml/builder.hpp"

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
    bool out_of_memory = false;
    std::string message;
    int line = 0;
};

void capture_error(void* data, xmlErrorPtr error) {
    auto* first = static_cast<FirstError*>(data);
    if (error && error->code == XML_ERR_NO_MEMORY) first->out_of_memory = true;
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
    void operator()(xmlParserCtxt* ctxt) const {
        if (ctxt->myDoc) xmlFreeDoc(ctxt->myDoc);  // the document type declaration, if any
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
    }
};

// What the SAX handlers share, reached through the parser context's
// _private field (libxml2 hands it on to the contexts that parse entity
// content).
struct SaxState {
    TreeBuilder* builder = nullptr;
    xmlParserCtxt* main = nullptr;
    std::exception_ptr failure;  // an exception cannot cross the C parser
    std::size_t file_size = 0;
    // Attribute declarations that give a default value: libxml2 adds each
    // to every element it applies to.
    std::size_t attribute_defaults = 0;
    // References to internal entities that libxml2 parses on their own,
    // each time one is met (the entity holds markup or references).
    std::size_t entity_parses = 0;
    // Entities of plain text, handed out as ready-made text (see
    // on_get_entity); nullptr for those that are not.
    std::unordered_map<xmlEntityPtr, xmlEntity*> plain;
    std::deque<xmlEntity> plain_copies;
};

// Records why the document is refused; the parse is refused with it.
// Called from the parser's callbacks: nothing may be thrown.
void refuse(SaxState& state, xmlParserCtxt* ctxt, const char* reason) noexcept {
    if (state.failure) return;
    try {
        state.failure = std::make_exception_ptr(ParseError(reason, ctxt->input ? ctxt->input->line : 0, ""));
    } catch (...) {
        state.failure = std::current_exception();
    }
}

// The parser of a SAX handler's context and the state the handlers share;
// no state outside a parse of parse_xml.
xmlParserCtxt* parser_of(void* ctx) { return static_cast<xmlParserCtxt*>(ctx); }
SaxState* state_of(xmlParserCtxt* ctxt) { return static_cast<SaxState*>(ctxt->_private); }

// Stops the parser, and the document's own parser when this one parses an
// entity's content; from the SAX handlers only.
void stop(SaxState& state, xmlParserCtxt* ctxt) noexcept {
    xmlStopParser(ctxt);
    if (state.main != ctxt) xmlStopParser(state.main);
}

// Refuses the document and stops the parser.
void refuse_and_stop(SaxState& state, xmlParserCtxt* ctxt, const char* reason) noexcept {
    refuse(state, ctxt, reason);
    stop(state, ctxt);
}

// Keeps the exception being handled, when none is kept yet, and stops the
// parser: an exception cannot cross the C parser.
void fail_and_stop(SaxState& state, xmlParserCtxt* ctxt) noexcept {
    if (!state.failure) state.failure = std::current_exception();
    stop(state, ctxt);
}

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

std::string_view view(const xmlChar* text, int size) {
    return text && size > 0 ? std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                            : std::string_view();
}

template <typename Action>
void deliver(void* ctx, Action&& action) {
    xmlParserCtxt* ctxt = parser_of(ctx);
    SaxState* state = state_of(ctxt);
    if (!state || state->failure) return;
    try {
        action(*state->builder);
    } catch (...) {
        fail_and_stop(*state, ctxt);
    }
}

// Each attribute comes as five pointers: local name, prefix, namespace,
// value and the value's end (the value is not terminated).
void on_start_element(void* ctx, const xmlChar* local_name, const xmlChar* prefix, const xmlChar* uri, int,
                      const xmlChar**, int attribute_count, int, const xmlChar** attributes) {
    deliver(ctx, [&](TreeBuilder& builder) {
        builder.start_element_utf8(view(local_name), view(prefix), view(uri));
        std::string name;
        for (int i = 0; i < attribute_count; ++i) {
            const xmlChar* const* attribute = attributes + 5 * i;
            name.clear();
            if (attribute[1]) name.append(view(attribute[1])).append(1, ':');
            name.append(view(attribute[0]));
            builder.attribute_utf8(name, view(attribute[3], static_cast<int>(attribute[4] - attribute[3])),
                                   view(attribute[2]));
        }
    });
}

void on_end_element(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    deliver(ctx, [](TreeBuilder& builder) { builder.end_element(); });
}

void on_characters(void* ctx, const xmlChar* text, int size) {
    deliver(ctx, [&](TreeBuilder& builder) { builder.text_utf8(view(text, size)); });
}

void on_cdata(void* ctx, const xmlChar* text, int size) {
    deliver(ctx, [&](TreeBuilder& builder) { builder.cdata_utf8(view(text, size)); });
}

void on_comment(void* ctx, const xmlChar* text) {
    deliver(ctx, [&](TreeBuilder& builder) { builder.comment_utf8(view(text)); });
}

void on_processing_instruction(void* ctx, const xmlChar* target, const xmlChar* data) {
    deliver(ctx, [&](TreeBuilder& builder) { builder.processing_instruction_utf8(view(target), view(data)); });
}

// An entity reference left unsubstituted names an entity that could not be
// resolved (an external one) and contributes nothing.
void on_reference(void*, const xmlChar*) {}

// libxml2 parses the content of an internal entity anew at every reference
// to it, which costs far more than the reference's few bytes. An entity of
// plain text (no markup, no reference, no carriage return, which a parse
// would turn into a line feed) is handed out as a predefined entity
// instead, whose text libxml2 passes on as it stands; the text is the same.
// References to the other entities are counted against a bound. Inside
// attribute values and declarations libxml2 reads only the first
// character of a predefined entity, so there the entity is left as it is.
xmlEntityPtr on_get_entity(void* ctx, const xmlChar* name) {
    xmlParserCtxt* ctxt = parser_of(ctx);
    xmlEntityPtr entity = xmlSAX2GetEntity(ctx, name);
    SaxState* state = state_of(ctxt);
    if (!entity || !state || entity->etype != XML_INTERNAL_GENERAL_ENTITY || !entity->content ||
        ctxt->instate == XML_PARSER_ATTRIBUTE_VALUE || ctxt->instate == XML_PARSER_DTD || ctxt->inSubset != 0)
        return entity;
    xmlEntity* plain = nullptr;
    try {
        const auto [it, added] = state->plain.try_emplace(entity, nullptr);
        if (added) {
            const std::string_view text = view(entity->content);
            if (text.find_first_of("<&\r") == std::string_view::npos && text.find("]]>") == std::string_view::npos) {
                xmlEntity& copy = state->plain_copies.emplace_back();
                std::memset(&copy, 0, sizeof copy);
                copy.type = XML_ENTITY_DECL;
                copy.name = entity->name;
                copy.etype = XML_INTERNAL_PREDEFINED_ENTITY;
                copy.content = entity->content;
                copy.orig = entity->orig;
                copy.length = entity->length;
                it->second = &copy;
            }
        }
        plain = it->second;
    } catch (...) {
        fail_and_stop(*state, ctxt);
        return nullptr;
    }
    if (plain) return plain;
    if (++state->entity_parses > limits::max_entity_parses(state->file_size)) {
        refuse_and_stop(*state, ctxt, "The document refers to its entities too many times.");
        return nullptr;
    }
    return entity;
}

// Counts the attribute declarations that carry a default value; libxml2's
// own handler records the declaration.
void on_attribute_decl(void* ctx, const xmlChar* element, const xmlChar* name, int type, int def,
                       const xmlChar* default_value, xmlEnumerationPtr values) {
    xmlSAX2AttributeDecl(ctx, element, name, type, def, default_value, values);
    xmlParserCtxt* ctxt = parser_of(ctx);
    SaxState* state = state_of(ctxt);
    if (state && default_value && ++state->attribute_defaults > limits::max_attribute_defaults)
        refuse_and_stop(*state, ctxt, "The document declares too many attribute defaults.");
}

// What libxml2 has taken in beyond the tree: the attributes of one element
// (and the quadratic check for duplicates among them), namespace
// declarations in scope and distinct names. Checked each time the parser
// asks for more of the file, which it does every few kilobytes.
void check_parser_growth(SaxState& state, xmlParserCtxt* ctxt) {
    if (static_cast<std::size_t>(ctxt->maxatts) / 10 > limits::max_attributes)
        refuse(state, ctxt, "An element has too many attributes.");
    else if (static_cast<std::size_t>(ctxt->nsNr) / 2 > limits::max_attributes)
        refuse(state, ctxt, "An element declares too many namespaces.");
    else if (ctxt->dict && static_cast<std::size_t>(xmlDictSize(ctxt->dict)) > 2 * limits::max_names(state.file_size))
        refuse(state, ctxt, "The document has too many distinct names.");
}

xmlSAXHandler handlers() {
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    xmlSAXVersion(&sax, 2);  // libxml2's own handlers for the DTD and entities
    sax.startElementNs = on_start_element;
    sax.endElementNs = on_end_element;
    sax.startElement = nullptr;
    sax.endElement = nullptr;
    sax.characters = on_characters;
    sax.ignorableWhitespace = on_characters;
    sax.cdataBlock = on_cdata;
    sax.comment = on_comment;
    sax.processingInstruction = on_processing_instruction;
    sax.reference = on_reference;
    sax.getEntity = on_get_entity;
    sax.attributeDecl = on_attribute_decl;
    return sax;
}

// The file's bytes, handed to the parser as it asks for them, a few
// kilobytes at a time: between two reads the parser's growth is checked.
struct Reader {
    std::string_view rest;
    xmlParserCtxt* ctxt = nullptr;
    SaxState* state = nullptr;
};

int read_bytes(void* context, char* buffer, int size) {
    auto* reader = static_cast<Reader*>(context);
    if (reader->ctxt && reader->state) {
        // Stopping the parser from here would free the buffer being filled:
        // the failure is recorded and the input ends with an error.
        if (!reader->state->failure) check_parser_growth(*reader->state, reader->ctxt);
        if (reader->state->failure) return -1;
    }
    constexpr std::size_t piece = 4096;
    const std::size_t n = std::min({reader->rest.size(), static_cast<std::size_t>(std::max(size, 0)), piece});
    std::memcpy(buffer, reader->rest.data(), n);
    reader->rest.remove_prefix(n);
    return static_cast<int>(n);
}

int close_reader(void*) { return 0; }

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

    xmlSAXHandler sax = handlers();
    Reader reader{bytes};
    std::unique_ptr<xmlParserCtxt, CtxtDeleter> ctxt(
        xmlCreateIOParserCtxt(&sax, nullptr, read_bytes, close_reader, &reader, XML_CHAR_ENCODING_NONE));
    if (!ctxt) throw std::bad_alloc();
    SaxState state;
    state.builder = &builder;
    state.main = ctxt.get();
    state.file_size = bytes.size();
    ctxt->_private = &state;
    reader.ctxt = ctxt.get();
    reader.state = &state;
    // Entities are substituted (NOENT) but external ones are refused by the
    // loader above; no network, no DTD loading, no validation.
    const int options = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;
    xmlCtxtUseOptions(ctxt.get(), options);
    const int parsed = xmlParseDocument(ctxt.get());
    if (state.failure) std::rethrow_exception(state.failure);
    const xmlError* last = xmlCtxtGetLastError(ctxt.get());
    // The parser's own allocation failure is no fault of the file.
    if (first.out_of_memory || (last && last->code == XML_ERR_NO_MEMORY)) throw std::bad_alloc();
    if (parsed != 0 || !ctxt->wellFormed || first.found || (last && last->level >= XML_ERR_ERROR)) {
        std::string reason = first.found             ? first.message
                             : last && last->message ? last->message
                                                     : "The document could not be parsed.";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
        if (reason.empty()) reason = "The document could not be parsed.";
        const int line = first.found ? first.line : last ? last->line : 0;
        throw ParseError(reason, line, source_line(decoded_text(ctxt.get(), bytes), line));
    }
}

}  // namespace idf::xml
