// The exchange file "Integracao_Docs_Fiscal.ini": CR LF lines in the ANSI
// code page, section headers, key=value lines and empty lines. Lines are
// kept in memory and written when the file is closed, to a temporary file
// that then takes the exchange file's name: the host finds the complete
// file or none, whenever the call or the process stops.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/platform.hpp"

namespace idf {

class ExchangeFile {
public:
    ExchangeFile(Platform& platform, std::string path);

    const std::string& path() const { return path_; }

    // Starts the new file, which holds the exchange file's folder until
    // this object is destroyed, and deletes an old file in that folder.
    // False when the old file cannot be deleted, something else than a
    // file or a link to one holds the name (left untouched), or the new
    // one cannot be created.
    bool create();
    // After create() failed: an old file is still at the path.
    bool old_file_kept() const { return old_file_kept_; }

    void write_line(std::string_view ansi_text);
    // key + value + CR LF; line breaks inside the value become spaces.
    void write_value(std::string_view key, std::string_view ansi_value);
    void write_empty_line();

    // Writes every line and puts the file in place. False when the content
    // could not be written completely; there is then no file.
    bool close();
    // Drops what was written and deletes the exchange file if it exists
    // and is a file or a link.
    void discard();

    const std::string& content() const { return buffer_; }

private:
    Platform& platform_;
    std::string path_;
    std::unique_ptr<OutputFile> file_;
    std::string buffer_;
    bool old_file_kept_ = false;
};

}  // namespace idf
