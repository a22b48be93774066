// A platform held entirely in memory: files are bytes under "/"-separated
// paths, boxes are recorded, the open dialog answers a preset choice and the
// exchange file is kept as bytes. It touches no disk, so the fuzzers can run
// whole imports on it, and tests can make any operation fail on purpose.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/platform.hpp"

namespace idf {

class MemoryPlatform : public Platform {
public:
    MemoryPlatform();

    // --- the in-memory file system --------------------------------------
    // Full path -> bytes. A file's folder exists once it is added.
    std::map<std::string, std::string> files;
    // Extra folders (created by add_file too).
    std::set<std::string> folders;
    void add_file(const std::string& path, std::string bytes);

    // --- what the host sees ---------------------------------------------
    std::vector<std::string> boxes;  // UTF-8, in the order shown
    std::optional<std::string> dialog_choice;
    std::string exchange_dir = "/host";
    // Paths read with read_file, in order.
    std::vector<std::string> reads;
    // The version the listing gives for a file (by full path); a file
    // without one is listed without a version. The index of searched
    // folders is kept under cache_dir when set, at the time `clock`.
    std::map<std::string, FileVersion> versions;
    // The version of the file a read opens, when it is not the one listed
    // (a link retargeted between the listing and the read).
    std::map<std::string, FileVersion> opened_versions;
    // The size of the pieces of read_in_pieces.
    std::size_t piece_size = 1 << 20;
    std::optional<std::string> cache_dir;
    std::int64_t clock = 0;

    // --- failures on demand ---------------------------------------------
    bool fail_create = false;  // create_file fails
    // Files that are there but cannot be read (no permission, held by
    // another program).
    std::set<std::string> unreadable;
    // The exchange file accepts this many bytes, then write fails.
    std::optional<std::size_t> write_capacity;
    bool fail_close = false;  // commit fails
    // A box that throws, as a host whose UI is gone.
    bool throwing_boxes = false;

    // The exchange file's bytes, if it exists.
    std::optional<std::string> exchange_file() const;

    // Arguments are UTF-8.
    IDF_PLATFORM_MEMBERS;
    std::optional<std::string> cache_folder() override;
    bool read_in_pieces(const std::string& path, const std::function<bool(std::string_view)>& on_piece) override;
    bool replace_file(const std::string& path, std::string_view bytes) override;
    std::int64_t now() override { return clock; }

private:
    std::size_t temporaries_ = 0;
};

}  // namespace idf
