#include "common/exchange_file.hpp"

namespace idf {

ExchangeFile::ExchangeFile(Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

bool ExchangeFile::create() {
    switch (platform_.entry_kind(path_)) {
        case EntryKind::none:
            break;
        case EntryKind::other:
            // A folder, a device or a FIFO is not the host's old file.
            return false;
        case EntryKind::replaceable:
            // Gone by the time it was to be deleted is as good as deleted.
            if (!platform_.delete_file(path_) && platform_.entry_kind(path_) != EntryKind::none) {
                old_file_kept_ = true;
                return false;
            }
            break;
    }
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
    // Whatever took the name meanwhile is replaced only if it is a file.
    const bool done = file_->write(buffer_) && platform_.entry_kind(path_) != EntryKind::other && file_->commit();
    file_.reset();
    return done;
}

void ExchangeFile::discard() {
    file_.reset();
    buffer_.clear();
    if (platform_.entry_kind(path_) == EntryKind::replaceable) platform_.delete_file(path_);
}

}  // namespace idf
