#include "search/folder_scan.hpp"

#include <algorithm>
#include <set>

#include "search/classify.hpp"
#include "search/folder_index.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf {

namespace {

// The access key held by the document's protocol, in ANSI; empty when the
// document has no protocol or no key.
std::string protocol_key(xml::Node root, std::string_view protocol_name, std::string_view key_name) {
    xml::Node protocol = root.find(protocol_name);
    if (!protocol) return {};
    xml::Node inf_prot = protocol.find("infProt");
    if (!inf_prot) return {};
    xml::Node key = inf_prot.child(key_name);
    if (is_blank(key.text())) return {};
    try {
        return to_ansi(key.text());
    } catch (const DataError&) {
        return {};
    }
}

bool holds_cancellation_code(std::string_view bytes) {
    return bytes.find(tipo_cancelamento) != std::string_view::npos ||
           bytes.find(tipo_cancelamento_substituicao) != std::string_view::npos;
}

// Whether bytes that could not be parsed may be a cancellation of the key.
bool may_be_cancellation(std::string_view bytes, std::string_view chave) {
    return !chave.empty() && bytes.find(chave) != std::string_view::npos && holds_cancellation_code(bytes);
}

// The same for a file too large to be read whole, looked at in pieces that
// overlap by the longest text looked for less one, so that no text is
// missed where two pieces meet. A file that cannot be read may be one.
bool too_large_may_be_cancellation(Platform& platform, const std::string& path, std::string_view chave) {
    if (chave.empty()) return false;
    const std::size_t overlap = std::max(chave.size(), tipo_cancelamento.size()) - 1;
    std::string window;
    bool key = false;
    bool code = false;
    const bool read = platform.read_in_pieces(path, [&](std::string_view piece) {
        window.erase(0, window.size() > overlap ? window.size() - overlap : 0);
        window += piece;
        key = key || window.find(chave) != std::string::npos;
        code = code || holds_cancellation_code(window);
        return !(key && code);
    });
    return !read || (key && code);
}

// The steps of the pass for one import.
class Pass {
public:
    Pass(Import& import, std::string chave)
        : platform_(import.platform()),
          names_(import.document_type().names),
          chave_(std::move(chave)),
          precheck_(chave_) {}

    const std::string& chave() const { return chave_; }
    FileIdentities& read_before() { return read_before_; }
    ScanResult& result() { return result_; }

    // The file read whole, or none when it is passed over or recorded.
    std::optional<FileBytes> read(const std::string& path, const std::string& name) {
        FileBytes file = platform_.read_file_once(path, read_before_);
        if (file.status == ReadStatus::unreadable ||
            (file.status == ReadStatus::too_large && too_large_may_be_cancellation(platform_, path, chave_))) {
            result_.ilegiveis.push_back({platform_.path_to_utf8(path), platform_.path_to_utf8(name), true});
            return std::nullopt;
        }
        if (!file) return std::nullopt;
        return file;
    }

    // Parses the bytes into `doc`; false, with the file recorded, when they
    // cannot be parsed.
    bool parse(xml::Document& doc, std::string_view bytes, const std::string& path, const std::string& name) {
        try {
            doc.load(bytes, path);
            return true;
        } catch (const DataError&) {
            result_.ilegiveis.push_back(
                {platform_.path_to_utf8(path), platform_.path_to_utf8(name), may_be_cancellation(bytes, chave_)});
            // It may be a cancellation of whatever key it holds: every search
            // reads it.
            if (folder_index_ && holds_cancellation_code(bytes)) folder_index_->always_read(name);
            return false;
        }
    }

    // The events of the key that the parsed file holds, to `eventos`.
    void events(xml::Node root, const std::string& path, const std::string& name, std::vector<Evento>& eventos) {
        const std::size_t before = eventos.size();
        le_eventos(root, names_, chave_, eventos);
        if (eventos.size() == before) return;
        const std::string arquivo = platform_.path_to_utf8(path);
        const std::string nome = platform_.path_to_utf8(name);
        for (std::size_t i = before; i < eventos.size(); ++i) {
            eventos[i].arquivo = arquivo;
            eventos[i].nome = nome;
        }
    }

    // The index of the listed folder, kept until the pass ends.
    void index(const ScanListing& listing) {
        folder_index_.emplace(platform_, listing.folder, listing.names, listing.versions, chave_);
    }
    // Whether the index proves that the listed file `name` cannot carry the
    // key: it is then passed over unread.
    bool skips(const std::string& name) { return folder_index_ && folder_index_->skips(name); }
    // Whether the file read whole may carry the key; what its bytes say of
    // every key goes to the index.
    bool may_carry_key(const std::string& name, const FileBytes& file) {
        return folder_index_ ? folder_index_->may_carry_key(name, file, precheck_)
                             : precheck_.may_carry_key(file.bytes);
    }
    void save_index() {
        if (folder_index_) folder_index_->save();
    }

    // A file read for the events only, once the document is known.
    void events_only(const std::string& path, const std::string& name) {
        if (skips(name)) return;
        const auto file = read(path, name);
        if (!file || !may_carry_key(name, *file) || !may_hold_event_of_carried_key(file->bytes)) return;
        if (!parse(event_document_, file->bytes, path, name)) return;
        try {
            events(event_document_.document_element(), path, name, result_.eventos);
        } catch (const DataError&) {
            // A document without an element holds no event.
        }
    }

private:
    Platform& platform_;
    const DocumentType::Names& names_;
    std::string chave_;
    KeyPrecheck precheck_;
    FileIdentities read_before_;
    std::optional<FolderIndex> folder_index_;
    xml::Document event_document_;  // the files read for their events
    ScanResult result_;
};

ScanListing with_every_xml(Platform& platform, DirectoryListing listing) {
    ScanListing out{std::move(listing.folder), std::move(listing.names), 0, std::move(listing.versions)};
    out.candidatos = out.names.size();
    if (listing.mask == "*.xml") return out;
    // The mask chose the candidates; the events may be in any "*.xml" file.
    auto every = platform.list_folder_of(platform.join_path(out.folder, "*.xml"));
    if (!every) return out;
    const bool versions = out.versions.size() == out.names.size() && every->versions.size() == every->names.size();
    if (!versions) out.versions.clear();
    const std::set<std::string> listed(out.names.begin(), out.names.end());
    for (std::size_t i = 0; i < every->names.size(); ++i) {
        if (listed.contains(every->names[i])) continue;
        out.names.push_back(std::move(every->names[i]));
        if (versions) out.versions.push_back(every->versions[i]);
    }
    return out;
}

}  // namespace

bool may_hold_event_of_carried_key(std::string_view bytes) {
    // Every event holds an infEvento element; a summary of one (resEvento)
    // matters only as a cancellation, with its code. A file without that
    // name in its bytes is parsed only when the quick check cannot rule the
    // cancellation codes out: the check passes over only files read as
    // UTF-8 or a single-byte ASCII superset, without a document type
    // declaration, whose element names are their own bytes; such a file
    // without the name holds no event but summaries that cancel nothing.
    return bytes.find("infEvento") != std::string_view::npos ||
           may_carry_code(bytes, {tipo_cancelamento, tipo_cancelamento_substituicao});
}

bool may_hold_event(const KeyPrecheck& precheck, std::string_view bytes) {
    return precheck.may_carry_key(bytes) && may_hold_event_of_carried_key(bytes);
}

std::optional<ScanListing> search_listing(Platform& platform, const std::string& pasta) {
    auto listing = platform.list_directory(pasta);
    if (!listing) return std::nullopt;
    return with_every_xml(platform, std::move(*listing));
}

std::optional<ScanListing> document_listing(Platform& platform, const std::string& documento) {
    auto listing = platform.list_folder_of(documento);
    if (!listing) return std::nullopt;
    return ScanListing{std::move(listing->folder), std::move(listing->names), 0, std::move(listing->versions)};
}

ScanResult scan_search(Import& import) {
    Platform& platform = import.platform();
    const DocumentType::Names& names = import.document_type().names;
    const std::string wanted = platform.host_to_ansi(import.chave_acesso);
    Pass pass(import, std::string(trim(wanted)));
    ScanResult& result = pass.result();
    std::vector<Evento> proprios;  // the document's own answers
    const auto listing = search_listing(platform, import.pasta_temporaria);
    if (listing) {
        pass.index(*listing);
        for (std::size_t i = 0; i < listing->names.size(); ++i) {
            const std::string& name = listing->names[i];
            if (is_blank(name)) continue;
            const std::string path = platform.join_path(listing->folder, name);
            if (!result.documento.empty()) {
                pass.events_only(path, name);
                continue;
            }
            // Without the document, nothing beyond the candidates is needed.
            if (i >= listing->candidatos) break;
            if (pass.skips(name)) continue;
            const auto file = pass.read(path, name);
            if (!file || !pass.may_carry_key(name, *file)) continue;
            if (!pass.parse(import.XML(), file->bytes, path, name)) continue;
            try {
                const xml::Node root = import.document_element();
                const std::string key = protocol_key(root, names.protocol, names.key);
                if (!is_blank(key) && key == wanted) {
                    result.documento = path;
                    pass.events(root, path, name, proprios);
                } else {
                    pass.events(root, path, name, result.eventos);
                    if (const Achado achado = classifica(root, names, pass.chave()); achado != Achado::nenhum)
                        (achado == Achado::resumo ? result.resumos : result.sem_protocolo)
                            .push_back(platform.path_to_utf8(path));
                }
            } catch (const DataError&) {
                // A text that cannot be read ends the try of this file only.
            }
        }
        pass.save_index();
    }
    if (result.documento.empty()) {
        import.XML().clear();
    } else {
        result.eventos.insert(result.eventos.begin(), std::make_move_iterator(proprios.begin()),
                              std::make_move_iterator(proprios.end()));
    }
    return std::move(result);
}

ScanResult scan_document_folder(Import& import, std::string_view chave) {
    Platform& platform = import.platform();
    const std::string& documento = import.document_path();
    Pass pass(import, std::string(chave));
    ScanResult& result = pass.result();
    const std::string nome = platform.file_name_part(documento);
    pass.events(import.document_element(), documento, nome, result.eventos);
    if (const auto identity = platform.file_identity(documento, true)) pass.read_before().insert(*identity);
    const auto listing = document_listing(platform, documento);
    if (!listing) return std::move(result);
    pass.index(*listing);
    for (const std::string& name : listing->names) {
        if (is_blank(name)) continue;
        const std::string path = platform.join_path(listing->folder, name);
        if (path == documento) continue;
        pass.events_only(path, name);
    }
    pass.save_index();
    return std::move(result);
}

}  // namespace idf
