#include "platform/memory_platform.hpp"

#include <algorithm>
#include <stdexcept>

#include "platform/temp_name.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf {

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ends_with_xml(std::string_view name) {
    if (name.size() < 4) return false;
    const std::string_view tail = name.substr(name.size() - 4);
    return tail[0] == '.' && fold(tail[1]) == 'x' && fold(tail[2]) == 'm' && fold(tail[3]) == 'l';
}

std::string parent_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The exchange file: bytes go to a temporary file beside it, which takes
// its name in commit(), as on disk.
class MemoryOutputFile : public OutputFile {
public:
    MemoryOutputFile(MemoryPlatform& platform, std::string path, std::string temporary)
        : platform_(platform), path_(std::move(path)), temporary_(std::move(temporary)) {}
    ~MemoryOutputFile() override {
        if (!committed_) platform_.files.erase(temporary_);
    }
    MemoryOutputFile(const MemoryOutputFile&) = delete;
    MemoryOutputFile& operator=(const MemoryOutputFile&) = delete;

    EntryKind existing() override { return platform_.entry_kind(path_); }
    bool remove_existing() override { return platform_.delete_file(path_); }

    bool write(std::string_view bytes) override {
        std::string& content = platform_.files[temporary_];
        if (platform_.write_capacity) {
            const std::size_t room =
                *platform_.write_capacity > content.size() ? *platform_.write_capacity - content.size() : 0;
            content += bytes.substr(0, room);
            return bytes.size() <= room;
        }
        content += bytes;
        return true;
    }
    bool commit() override {
        if (committed_ || platform_.fail_close) return false;
        auto node = platform_.files.extract(temporary_);
        if (node.empty()) return false;
        node.key() = path_;
        platform_.files.erase(path_);
        platform_.files.insert(std::move(node));
        committed_ = true;
        return true;
    }

private:
    MemoryPlatform& platform_;
    std::string path_;
    std::string temporary_;
    bool committed_ = false;
};

}  // namespace

MemoryPlatform::MemoryPlatform() { folders.insert(exchange_dir); }

void MemoryPlatform::add_file(const std::string& path, std::string bytes) {
    files[path] = std::move(bytes);
    for (std::string folder = parent_of(path); !folder.empty(); folder = parent_of(folder)) {
        folders.insert(folder);
        if (folder == "/") break;
    }
}

std::optional<std::string> MemoryPlatform::exchange_file() const {
    const auto it = files.find(exchange_dir + "/" + std::string(exchange_file_name));
    if (it == files.end()) return std::nullopt;
    return it->second;
}

void MemoryPlatform::mensagem_atencao(std::string_view text) {
    boxes.emplace_back(text);
    if (throwing_boxes) throw std::runtime_error("no user interface");
}

std::optional<std::string> MemoryPlatform::open_file_dialog() { return dialog_choice; }

std::string MemoryPlatform::exchange_folder() { return exchange_dir; }

std::string MemoryPlatform::join_path(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

std::optional<DirectoryListing> MemoryPlatform::list_directory(const std::string& folder_arg) {
    std::string folder = folder_arg;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!folders.contains(folder)) return std::nullopt;
    DirectoryListing listing;
    listing.folder = folder;
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (const auto& [path, bytes] : files) {
        if (!path.starts_with(prefix)) continue;
        const std::string name = path.substr(prefix.size());
        if (name.empty() || name.find('/') != std::string::npos || name.front() == '.' || !ends_with_xml(name))
            continue;
        listing.names.push_back(name);
    }
    std::stable_sort(listing.names.begin(), listing.names.end(),
                     [](const std::string& a, const std::string& b) { return less_ignoring_case(a, b); });
    if (cache_dir) {
        for (const std::string& name : listing.names) {
            const auto version = versions.find(prefix + name);
            listing.versions.push_back(version == versions.end() ? std::nullopt
                                                                 : std::optional<FileVersion>(version->second));
        }
    }
    return listing;
}

std::optional<DirectoryListing> MemoryPlatform::list_folder_of(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    return list_directory(slash == 0 ? std::string("/") : file.substr(0, slash));
}

std::string MemoryPlatform::file_name_part(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

EntryKind MemoryPlatform::entry_kind(const std::string& path) {
    return files.contains(path) ? EntryKind::replaceable : EntryKind::none;
}

bool MemoryPlatform::delete_file(const std::string& path) { return files.erase(path) > 0; }

std::unique_ptr<OutputFile> MemoryPlatform::create_file(const std::string& path) {
    if (fail_create || !folders.contains(parent_of(path))) return nullptr;
    // Named as on disk; the count of files made stands for the random bits.
    const PathParts where = split_path(path, "/");
    std::string temporary = where.folder + temporary_name(where.name, 0, ++temporaries_);
    // The object first: once the temporary file exists, its owner removes it
    // whatever fails.
    auto file = std::make_unique<MemoryOutputFile>(*this, path, temporary);
    files[temporary];
    return file;
}

FileBytes MemoryPlatform::read_file(const std::string& path) {
    reads.push_back(path);
    const auto it = files.find(path);
    if (it == files.end()) return {ReadStatus::absent, {}};
    if (it->second.size() > xml::Document::max_file_size) return {ReadStatus::too_large, {}};
    if (unreadable.contains(path)) return {ReadStatus::unreadable, {}};
    std::optional<FileVersion> version;
    if (const auto opened = opened_versions.find(path); opened != opened_versions.end()) {
        version = opened->second;
    } else if (const auto listed = versions.find(path); listed != versions.end() && cache_dir) {
        version = listed->second;
    }
    return {ReadStatus::read, it->second, version};
}

bool MemoryPlatform::read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) {
    reads.push_back(path);
    const auto it = files.find(path);
    if (it == files.end() || unreadable.contains(path)) return false;
    const std::string_view bytes = it->second;
    for (std::size_t at = 0; at < bytes.size(); at += piece_size)
        if (!on_piece(bytes.substr(at, piece_size))) break;
    return true;
}

std::string MemoryPlatform::host_to_ansi(std::string_view text) { return utf8_to_cp1252(text); }

std::optional<std::string> MemoryPlatform::cache_folder() {
    if (cache_dir) folders.insert(*cache_dir);
    return cache_dir;
}

bool MemoryPlatform::replace_file(const std::string& path, std::string_view bytes) {
    if (!folders.contains(parent_of(path))) return false;
    files[path] = std::string(bytes);
    return true;
}

}  // namespace idf
