// The platform on Linux and other POSIX systems.
#pragma once

#include "common/platform.hpp"

namespace idf {

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(SearchFolder search_folder = SearchFolder::becomes_current)
        : search_folder_(search_folder) {}

    // Prints the box text to standard error (there is no desktop to show
    // a box on); override for another channel.
    void mensagem_atencao(std::string_view text) override;
    // No dialog is available to a library without a desktop: the user
    // "cancels".
    std::optional<std::string> open_file_dialog() override;
    // The folder of the process's executable (/proc/self/exe); empty when
    // it cannot be determined.
    std::string exchange_folder() override;
    std::string join_path(std::string_view folder, std::string_view name) override;
    std::optional<DirectoryListing> list_directory(const std::string& folder) override;
    std::optional<DirectoryListing> list_folder_of(const std::string& file) override;
    std::string file_name_part(std::string_view path) override;
    bool file_exists(const std::string& path) override;
    bool delete_file(const std::string& path) override;
    std::unique_ptr<OutputFile> create_file(const std::string& path) override;
    std::optional<std::string> read_file(const std::string& path) override;
    // Arguments and paths are UTF-8 here.
    std::string host_to_ansi(std::string_view text) override;

private:
    SearchFolder search_folder_;
};

// The folder of the executable that the symbolic link `link` names
// (/proc/self/exe): empty when it cannot be read in full or names no folder.
std::string executable_folder(const char* link);

// The process's current folder.
std::string current_folder();
// The path made absolute against the current folder.
std::string absolute_path(const std::string& path);

// True when a path (UTF-8) holds no control character (codes 0 to 31, 127,
// the C1 controls) and only characters of the ANSI code page (CP1252), so
// that it is written in the exchange file exactly as it is. Malformed UTF-8
// is never faithful. The search lists no other name and opens no other path.
bool ansi_faithful(std::string_view utf8);

// Matches a file name against a mask of "*" and "?", ignoring letter case
// (CP1252 letters, see fold_case_cp1252).
bool mask_matches(std::string_view mask, std::string_view name);
// Orders names ascending ignoring letter case (CP1252 letters).
bool name_less(std::string_view a, std::string_view b);

}  // namespace idf
