// The platform on Windows: the ANSI file and user-interface functions of
// the system, as a 32-bit host program loads the library.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/platform.hpp"
#include "values/regional.hpp"

namespace idf::win {

// An exchange file being written: its handle and its temporary file.
struct OpenOutput {
    void* handle;
    std::string temporary;
};

class WindowsPlatform : public Platform {
public:
    explicit WindowsPlatform(SearchFolder search_folder = SearchFolder::becomes_current)
        : search_folder_(search_folder) {}
    ~WindowsPlatform() override;
    WindowsPlatform(const WindowsPlatform&) = delete;
    WindowsPlatform& operator=(const WindowsPlatform&) = delete;

    // MessageBoxA without owner, OK only, exclamation icon, task-modal;
    // text and caption in the ANSI code page.
    void mensagem_atencao(std::string_view text) override;
    // GetOpenFileNameA: filter "XML files" (*.xml), default extension
    // "XML", file must exist, resizable, read-only box hidden.
    std::optional<std::string> open_file_dialog() override;
    // The folder of the process's executable (not of this library); a
    // drive root keeps its backslash. Empty when the executable's path
    // cannot be read in full.
    std::string exchange_folder() override;
    std::string join_path(std::string_view folder, std::string_view name) override;
    std::optional<DirectoryListing> list_directory(const std::string& folder) override;
    std::optional<DirectoryListing> list_folder_of(const std::string& file) override;
    std::string file_name_part(std::string_view path) override;
    // The path in the ANSI code page, as UTF-8.
    std::string path_to_utf8(std::string_view path) override;
    bool file_exists(const std::string& path) override;
    bool delete_file(const std::string& path) override;
    std::unique_ptr<OutputFile> create_file(const std::string& path) override;
    std::optional<std::string> read_file(const std::string& path) override;
    // Host strings are ANSI already.
    std::string host_to_ansi(std::string_view text) override;

    // Closes every file this platform still has open and deletes their
    // temporary files. Used after a fault that left the import's own
    // objects behind.
    void close_open_files();

    // The output files not yet committed or dropped.
    std::vector<OpenOutput> open_files;

private:
    SearchFolder search_folder_;
};

// The path made absolute against the current folder (GetFullPathNameA);
// nullopt when that fails.
std::optional<std::string> full_path(const std::string& path);

// The folder part of an executable's path: everything before the last
// backslash, keeping it after a drive colon ("C:\Host.exe" gives "C:\").
std::string module_folder(std::string_view module_path);

// Splits the folder argument of the search into folder and mask: a "*" or
// "?" in the last component makes it the mask in place of "*.xml".
struct FolderAndMask {
    std::string folder;
    std::string mask;
};
FolderAndMask split_mask(std::string_view folder);

// Orders file names as a sorted list box does: ignoring letter case, by the
// user's locale.
bool list_box_less(const std::string& a, const std::string& b);

// The user's decimal separator and short date format (its picture carries
// the separators the user chose).
Regional read_regional_settings();

}  // namespace idf::win
