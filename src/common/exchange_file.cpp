#include "common/exchange_file.hpp"

namespace idf {

ExchangeFile::ExchangeFile(Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

bool ExchangeFile::create() {
    if (platform_.file_exists(path_)) platform_.delete_file(path_);
    file_ = platform_.create_file(path_);
    return file_ != nullptr;
}

void ExchangeFile::write_line(std::string_view ansi_text) {
    buffer_ += ansi_text;
    buffer_ += "\r\n";
}

void ExchangeFile::write_value(std::string_view key, std::string_view ansi_value) {
    buffer_ += key;
    buffer_ += ansi_value;
    buffer_ += "\r\n";
}

void ExchangeFile::write_empty_line() { buffer_ += "\r\n"; }

bool ExchangeFile::close() {
    if (!file_) return false;
    const bool written = file_->write(buffer_);
    const bool closed = file_->close();
    file_.reset();
    return written && closed;
}

void ExchangeFile::discard() {
    if (file_) {
        file_->close();
        file_.reset();
    }
    buffer_.clear();
    if (platform_.file_exists(path_)) platform_.delete_file(path_);
}

}  // namespace idf
