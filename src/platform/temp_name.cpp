#include "platform/temp_name.hpp"

#include <cstdio>

namespace idf {

namespace {

constexpr std::string_view extension = ".tmp";

// Only what temporary_name writes: lowercase.
bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The longest name a folder takes (NAME_MAX, and 255 UTF-16 units on
// Windows), less what a temporary name adds to the part of the final name
// it carries: the dots, 10 digits, 16 hexadecimal digits and ".tmp".
constexpr std::size_t longest_name = 255;
constexpr std::size_t carried_name_max = longest_name - (3 + 10 + 16 + extension.size());

}  // namespace

PathParts split_path(std::string_view path, std::string_view separators) {
    const std::size_t cut = path.find_last_of(separators);
    if (cut == std::string_view::npos) return {std::string(), std::string(path)};
    return {std::string(path.substr(0, cut + 1)), std::string(path.substr(cut + 1))};
}

std::string temporary_prefix(std::string_view final_name) {
    return std::string(".").append(final_name.substr(0, carried_name_max)) + ".";
}

std::string temporary_name(std::string_view final_name, std::uint32_t pid, std::uint64_t bits) {
    char random[17];
    std::snprintf(random, sizeof random, "%016llx", static_cast<unsigned long long>(bits));
    return temporary_prefix(final_name).append(std::to_string(pid)).append(".").append(random).append(extension);
}

std::optional<std::uint32_t> temporary_name_pid(std::string_view name, std::string_view final_name) {
    const std::string prefix = temporary_prefix(final_name);
    if (name.size() < prefix.size() + extension.size() || !name.starts_with(prefix) || !name.ends_with(extension))
        return std::nullopt;
    // <pid>.<16 hexadecimal digits>
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
    const std::size_t dot = middle.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 10 || middle.size() - dot - 1 != 16) return std::nullopt;
    // In decimal as written: no leading zero, and never process 0.
    if (middle.front() == '0') return std::nullopt;
    std::uint64_t pid = 0;
    for (const char c : middle.substr(0, dot)) {
        if (c < '0' || c > '9') return std::nullopt;
        pid = pid * 10 + static_cast<std::uint64_t>(c - '0');
    }
    for (const char c : middle.substr(dot + 1))
        if (!is_hex_digit(c)) return std::nullopt;
    if (pid > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(pid);
}

std::optional<std::string> create_temporary(const PathParts& final_path, std::uint32_t pid,
                                            const std::function<std::uint64_t()>& random_bits,
                                            const std::function<CreateAttempt(const std::string& path)>& create) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = final_path.folder + temporary_name(final_path.name, pid, random_bits());
        const CreateAttempt outcome = create(path);
        if (outcome == CreateAttempt::created) return path;
        if (outcome == CreateAttempt::failed) break;
    }
    return std::nullopt;
}

}  // namespace idf
