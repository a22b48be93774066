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

    // Boxes: MessageBoxA without owner, OK only, exclamation icon,
    // task-modal; text and caption in the ANSI code page. The dialog:
    // GetOpenFileNameA, filter "XML files" (*.xml), default extension "XML",
    // file must exist, resizable, read-only box hidden. The exchange folder
    // is the folder of the process's executable (not of this library); a
    // drive root keeps its backslash; empty when the executable's path
    // cannot be read in full. Host strings are ANSI already.
    IDF_PLATFORM_MEMBERS;
    // The identity is the one of the file opened, taken before reading it.
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override;
    // The path in the ANSI code page, as UTF-8.
    std::string path_to_utf8(std::string_view path) override;
    // Only a plain file or a link is deleted; the file identity is the
    // device and inode (the volume serial number and file index on Windows).
    std::optional<FileIdentity> file_identity(const std::string& path, bool follow_links) override;
    // The index of searched folders lives in %LOCALAPPDATA%\Integracao_Docs_Fiscal;
    // off with IDF_SEM_INDICE=1.
    std::optional<std::string> cache_folder() override;
    bool replace_file(const std::string& path, std::string_view bytes) override;
    std::int64_t now() override;

    // Closes every file and folder this platform still has open and deletes
    // the temporary files. Used after a fault that left the import's own
    // objects behind.
    void close_open_files();

    // The output files not yet committed or dropped.
    std::vector<OpenOutput> open_files;
    // The folders of the output files, held until their files are gone.
    std::vector<void*> held_folders;

private:
    bool index_wanted() const;

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
