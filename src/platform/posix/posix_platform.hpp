// The platform on Linux and other POSIX systems.
#pragma once

#include "common/platform.hpp"

namespace idf {

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(SearchFolder search_folder = SearchFolder::becomes_current)
        : search_folder_(search_folder) {}

    // Boxes are printed to standard error (there is no desktop to show a box
    // on); override mensagem_atencao for another channel. No dialog is
    // available to a library without a desktop: the user "cancels". The
    // exchange folder is the folder of the process's executable
    // (/proc/self/exe), empty when it cannot be determined. Arguments and
    // paths are UTF-8, or any bytes (every listed name is read by the bytes
    // listed).
    IDF_PLATFORM_MEMBERS;
    // The identity is the one of the file opened, taken before reading it.
    // With the index kept, a file read tells the version of the file opened.
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override;
    bool read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) override;
    // Names are bytes: shown as UTF-8 when they are, else as CP1252.
    std::string path_to_utf8(std::string_view path) override;
    // Only a plain file or a link is deleted; the file identity is the
    // device and inode (the volume serial number and file index on Windows).
    std::optional<FileIdentity> file_identity(const std::string& path, bool follow_links) override;

    // The index of searched folders lives in $XDG_CACHE_HOME (an absolute
    // path), else ~/.cache, under integracao-docs-fiscal/ (made for this
    // user only); off with IDF_SEM_INDICE=1 or turn_index_off().
    // Used only when it is this user's own folder that no one else may
    // write (nor rename away), not a link; its files likewise.
    std::optional<std::string> cache_folder() override;
    FileBytes read_cache_file(const std::string& path) override;
    bool replace_file(const std::string& path, std::string_view bytes) override;
    std::int64_t now() override;
    void turn_index_off() { index_off_ = true; }

private:
    bool index_wanted() const;

    SearchFolder search_folder_;
    bool index_off_ = false;
};

// The folder of the executable that the symbolic link `link` names
// (/proc/self/exe): empty when it cannot be read in full or names no folder.
std::string executable_folder(const char* link);

// The process's current folder.
std::string current_folder();
// The path made absolute against the current folder.
std::string absolute_path(const std::string& path);

// Matches a file name against a mask of "*" and "?", ignoring letter case
// (CP1252 letters, see fold_case_cp1252).
bool mask_matches(std::string_view mask, std::string_view name);
// Orders names ascending ignoring letter case (CP1252 letters).
bool name_less(std::string_view a, std::string_view b);

}  // namespace idf
