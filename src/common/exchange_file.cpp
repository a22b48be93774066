#include "common/exchange_file.hpp"

namespace idf {

ExchangeFile::ExchangeFile(Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

bool ExchangeFile::create() {
    // Gone by the time it was to be deleted is as good as deleted.
    if (platform_.file_exists(path_) && !platform_.delete_file(path_) && platform_.file_exists(path_)) return false;
    file_ = platform_.create_file(path_);
    return file_ != nullptr;
}

void ExchangeFile::write_line(std::string_view ansi_text) {
    buffer_ += ansi_text;
    buffer_ += "\r\n";
}

void ExchangeFile::write_value(std::string_view key, std::string_view ansi_value) {
    buffer_ += key;
    // A value is one line: each line break (CR LF, CR or LF) in text that
    // came from the XML becomes one space, so that no value can add lines,
    // keys or sections of its own to the file.
    for (std::size_t i = 0; i < ansi_value.size(); ++i) {
        const char c = ansi_value[i];
        if (c == '\r') {
            if (i + 1 < ansi_value.size() && ansi_value[i + 1] == '\n') ++i;
            buffer_ += ' ';
        } else if (c == '\n') {
            buffer_ += ' ';
        } else {
            buffer_ += c;
        }
    }
    buffer_ += "\r\n";
}

void ExchangeFile::write_empty_line() { buffer_ += "\r\n"; }

bool ExchangeFile::close() {
    if (!file_) return false;
    const bool done = file_->write(buffer_) && file_->commit();
    file_.reset();
    return done;
}

void ExchangeFile::discard() {
    file_.reset();
    buffer_.clear();
    if (platform_.file_exists(path_)) platform_.delete_file(path_);
}

}  // namespace idf
