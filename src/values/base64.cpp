#include "values/base64.hpp"

#include <array>
#include <cstdint>

namespace idf {

namespace {

constexpr std::uint8_t blank = 0xFE;
constexpr std::uint8_t invalid = 0xFF;

constexpr std::array<std::uint8_t, 256> decoding_table() {
    std::array<std::uint8_t, 256> table{};
    for (auto& value : table) value = invalid;
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    for (const char c : {' ', '\t', '\r', '\n'}) table[static_cast<unsigned char>(c)] = blank;
    return table;
}

constexpr std::array<std::uint8_t, 256> table = decoding_table();

}  // namespace

std::optional<std::string> base64_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int in_group = 0;
    int padding = 0;
    for (const char c : text) {
        const std::uint8_t value = table[static_cast<unsigned char>(c)];
        if (value == blank) continue;
        if (c == '=') {
            // Padding fills the last group only, after two or three symbols.
            if (in_group < 2 || ++padding > 2) return std::nullopt;
            ++in_group;
            group <<= 6;
            if (in_group == 4) {
                out += static_cast<char>(group >> 16);
                if (padding == 1) out += static_cast<char>((group >> 8) & 0xFF);
                in_group = 0;
            }
            continue;
        }
        if (value == invalid || padding > 0) return std::nullopt;
        group = (group << 6) | value;
        if (++in_group == 4) {
            out += static_cast<char>(group >> 16);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            in_group = 0;
            group = 0;
        }
    }
    if (in_group != 0) return std::nullopt;
    return out;
}

}  // namespace idf
