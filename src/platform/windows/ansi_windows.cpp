// DOM text to the process's ANSI code page. A character the code page
// cannot hold becomes the code page's default character; no "best fit"
// look-alike is substituted.
#include <windows.h>

#include <climits>

#include "common/platform.hpp"

namespace idf {

std::string to_ansi(std::u16string_view text) {
    if (text.empty()) return {};
    if (text.size() > static_cast<std::size_t>(INT_MAX)) text = text.substr(0, INT_MAX);
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int units = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace idf
