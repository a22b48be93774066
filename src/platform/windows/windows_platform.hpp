// The platform on Windows, as a 32-bit host program loads the library.
//
// Every path and file name inside this platform is UTF-8 (strictly WTF-8:
// a name holding a lone surrogate, which Windows allows, keeps it as its
// three-byte form, so that every listed name opens again), and every file
// call is the wide one: a file whose name the ANSI code page cannot hold
// is listed, read and named like any other. The host's ANSI strings are
// converted at the exported functions (from_ansi()); texts are converted
// back to the ANSI code page only where they are shown or written.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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
    // GetOpenFileNameW, filter "XML files" (*.xml), default extension "XML",
    // file must exist, resizable, read-only box hidden. The exchange folder
    // is the folder of the process's executable (not of this library); a
    // drive root keeps its backslash; empty when the executable's path
    // cannot be read in full. Host strings are UTF-8 (from_ansi() at the
    // exported functions); host_to_ansi() gives the ANSI code page.
    //
    // The listing reads the folder through a handle of it
    // (GetFileInformationByHandleEx, FileIdBothDirectoryInfo): each file's
    // version is its size, last-write and change time, file ID and the
    // folder's volume serial number. A file without a change time or file
    // ID, or a link, has none; a FAT, FAT32 or exFAT volume, where a rewrite
    // may keep all of them, gives no versions at all; so does the older
    // listing (FindFirstFileExW) taken when the folder cannot be read so.
    // A file read tells the version of the handle it read, the same way.
    IDF_PLATFORM_MEMBERS;
    // The identity is the one of the file opened, taken before reading it.
    FileBytes read_file_once(const std::string& path, FileIdentities& read) override;
    bool read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) override;
    // The path as valid UTF-8: a lone surrogate becomes U+FFFD.
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

// A path or name of this platform (UTF-8) as the wide functions take it,
// and back. Bytes that are not UTF-8 become U+FFFD.
std::wstring wide(std::string_view path);
std::string narrow(std::wstring_view path);

// A host's string in the ANSI code page as this platform's UTF-8.
std::string from_ansi(std::string_view text);

// The path made absolute against the current folder (GetFullPathNameW);
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
bool list_box_less(std::wstring_view a, std::wstring_view b);

// Whether a file name matches a mask of "*" and "?", ignoring letter case
// ("*.*" matches every name, as the system's own listing takes it).
bool matches_mask(std::wstring_view name, std::wstring_view mask);

// The user's decimal separator and short date format (its picture carries
// the separators the user chose).
Regional read_regional_settings();

}  // namespace idf::win
