// The exchange file "Integracao_Docs_Fiscal.ini": CR LF lines in the ANSI
// code page, section headers, key=value lines and empty lines. Lines are
// kept in memory and reach the disk when the file is closed, so a file the
// host finds after a call is always complete.
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

    // Deletes an old file (a failed deletion is not reported) and creates
    // the new one. False when it cannot be created.
    bool create();

    void write_line(std::string_view ansi_text);
    // key + value + CR LF; line breaks inside the value become spaces.
    void write_value(std::string_view key, std::string_view ansi_value);
    void write_empty_line();

    // Writes every line and closes the file. False when the content could
    // not be written completely.
    bool close();
    // Closes the file, dropping what was written, and deletes it.
    void discard();

    const std::string& content() const { return buffer_; }

private:
    Platform& platform_;
    std::string path_;
    std::unique_ptr<OutputFile> file_;
    std::string buffer_;
};

}  // namespace idf
