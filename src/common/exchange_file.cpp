#include "common/exchange_file.hpp"

namespace idf {

ExchangeFile::ExchangeFile(Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

namespace {

// Removes an old file at the exchange file's name: true when the name is
// free afterwards. `kind` tells what stands there, `remove` removes it.
template <typename Kind, typename Remove>
bool clear_name(Kind kind, Remove remove, bool& old_file_kept) {
    switch (kind()) {
        case EntryKind::none:
            return true;
        case EntryKind::other:
            // A folder, a device or a FIFO is not the host's old file.
            return false;
        case EntryKind::replaceable:
            break;
    }
    // Gone by the time it was to be deleted is as good as deleted.
    if (!remove() && kind() != EntryKind::none) {
        old_file_kept = true;
        return false;
    }
    return true;
}

}  // namespace

bool ExchangeFile::create() {
    file_ = platform_.create_file(path_);
    if (!file_) {
        // No new file, but no old one left either, where it can be removed.
        clear_name([&] { return platform_.entry_kind(path_); }, [&] { return platform_.delete_file(path_); },
                   old_file_kept_);
        return false;
    }
    if (!clear_name([&] { return file_->existing(); }, [&] { return file_->remove_existing(); }, old_file_kept_)) {
        file_.reset();
        return false;
    }
    return true;
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
    // The file object stays, holding the folder, until the call ends.
    return file_->write(buffer_) && file_->existing() != EntryKind::other && file_->commit();
}

void ExchangeFile::discard() {
    buffer_.clear();
    if (!file_) {
        if (platform_.entry_kind(path_) == EntryKind::replaceable) platform_.delete_file(path_);
        return;
    }
    if (file_->existing() == EntryKind::replaceable) file_->remove_existing();
    file_.reset();
}

}  // namespace idf
