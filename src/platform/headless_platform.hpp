// A platform for imports run on behalf of a caller (the headless calls, the
// command-line tool): the boxes are collected, and shown only when asked;
// the open-file dialog is answered by a file named beforehand, and the
// exchange file goes to a path named by the caller. Everything else is the
// wrapped platform's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/import.hpp"
#include "common/platform.hpp"

namespace idf {

class HeadlessPlatform final : public Platform {
public:
    // `exchange_file` is the exchange file's full path (nullopt: there is
    // none, and the file cannot be created); `chosen_file` the dialog's
    // answer (nullopt: the user cancels). With `show_boxes` the boxes are
    // also shown by `base`.
    HeadlessPlatform(Platform& base, std::optional<std::string> exchange_file, std::optional<std::string> chosen_file,
                     bool show_boxes = false);

    // The texts of the boxes, in order (UTF-8).
    const std::vector<std::string>& messages() const { return messages_; }

    void mensagem_atencao(std::string_view text) override;
    std::optional<std::string> open_file_dialog() override { return chosen_file_; }
    // The folder part of the exchange file's path.
    std::string exchange_folder() override;
    std::optional<std::string> exchange_file_path() override { return exchange_file_; }

    std::string join_path(std::string_view folder, std::string_view name) override {
        return base_.join_path(folder, name);
    }
    std::optional<DirectoryListing> list_directory(const std::string& folder) override { return listed(false, folder); }
    std::optional<DirectoryListing> list_folder_of(const std::string& file) override { return listed(true, file); }
    // While `keep` holds, each listing made is kept, and handed once to the
    // first later request of the same folder (the same call with the same
    // argument): the check before the import and the import's pass over
    // the folder list it once between them.
    void keep_listings(bool keep) { keeping_ = keep; }
    std::string file_name_part(std::string_view path) override { return base_.file_name_part(path); }
    std::string path_to_utf8(std::string_view path) override { return base_.path_to_utf8(path); }
    bool delete_file(const std::string& path) override { return base_.delete_file(path); }
    EntryKind entry_kind(const std::string& path) override { return base_.entry_kind(path); }
    std::optional<FileIdentity> file_identity(const std::string& path, bool follow_links) override {
        return base_.file_identity(path, follow_links);
    }
    std::unique_ptr<OutputFile> create_file(const std::string& path) override { return base_.create_file(path); }
    FileBytes read_file(const std::string& path) override { return base_.read_file(path); }
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override {
        return base_.read_file_once(path, read);
    }
    bool read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) override {
        return base_.read_in_pieces(path, on_piece);
    }
    std::string host_to_ansi(std::string_view text) override { return base_.host_to_ansi(text); }
    std::optional<std::string> cache_folder() override { return base_.cache_folder(); }
    FileBytes read_cache_file(const std::string& path) override { return base_.read_cache_file(path); }
    bool replace_file(const std::string& path, std::string_view bytes) override {
        return base_.replace_file(path, bytes);
    }
    std::int64_t now() override { return base_.now(); }

private:
    struct KeptListing {
        bool of_file = false;
        std::string argument;
        std::optional<DirectoryListing> listing;
    };
    std::optional<DirectoryListing> listed(bool of_file, const std::string& argument);

    Platform& base_;
    std::optional<std::string> exchange_file_;
    std::optional<std::string> chosen_file_;
    bool show_boxes_;
    std::vector<std::string> messages_;
    bool keeping_ = false;
    std::vector<KeptListing> kept_;
};

// One import on behalf of a caller: run_import, then, when the exchange file
// could not be created because an old file at its path could not be
// removed, a message that the file still there is not this import's (the
// classic calls' box stays as it is).
ImportResult run_headless(const DocumentType& type, HeadlessPlatform& platform, const Regional& regional,
                          const ImportArguments& arguments);

// True when the exchange file at `output` would remove or replace a file
// that the import reads: `chosen`, the file to import (when given), or any
// file that the pass over the folder reads (folder_scan.hpp): of the search
// of `search_folder` (when given), else of the folder of `chosen`. Compared by
// identity, never by spelling: the entry at `output` itself against the
// files that the inputs' paths open. `platform` lists the folder: the
// import's HeadlessPlatform keeping its listings, so that the import's pass
// takes the same listing and the folder is listed once per call.
bool output_is_an_input(Platform& platform, const std::string& output, const std::optional<std::string>& chosen,
                        const std::optional<std::string>& search_folder);

}  // namespace idf
