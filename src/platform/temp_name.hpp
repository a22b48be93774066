// The temporary files of the exchange file, the same on every system: how
// each is named, how a name is read back, and how a new one is created under
// a name no other file has. The platforms add only their system calls.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace idf {

// A path cut after its last separator (any of `separators`): the folder
// keeps that separator, and is empty when there is none.
struct PathParts {
    std::string folder;
    std::string name;
};
PathParts split_path(std::string_view path, std::string_view separators);

// "." + final_name + ".": what every temporary file of `final_name` starts
// with (hidden where a leading dot hides a file). Of a long final name only
// the first 222 bytes are carried, so that a temporary name is never longer
// than 255 bytes, the longest name a folder takes.
std::string temporary_prefix(std::string_view final_name);

// The prefix, the writer's process id in decimal, a dot, `bits` in 16
// lowercase hexadecimal digits, and ".tmp".
std::string temporary_name(std::string_view final_name, std::uint32_t pid, std::uint64_t bits);

// The process id in `name` when it is a temporary name of `final_name`
// exactly as temporary_name writes it (1 to 10 decimal digits from 1 to
// 4294967295 without a leading zero, then exactly 16 lowercase hexadecimal
// digits);
// nullopt for any other name, so that no other file is taken for one.
std::optional<std::uint32_t> temporary_name_pid(std::string_view name, std::string_view final_name);

enum class CreateAttempt { created, name_taken, failed };

// Creates the temporary file of the file at `final_path`: up to 100 names,
// each with new `random_bits()`, are offered to `create`, which creates the
// file exclusively. The path created; nullopt when an attempt failed for
// another reason than a taken name, or no name was free.
std::optional<std::string> create_temporary(const PathParts& final_path, std::uint32_t pid,
                                            const std::function<std::uint64_t()>& random_bits,
                                            const std::function<CreateAttempt(const std::string& path)>& create);

}  // namespace idf
