#include "AutorunIni.h"

#include "common/AutorunCodePage.h"

namespace zolvex {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only ASCII letters fold: the names this program asks for are ASCII, and
// folding the bytes of an 8-bit code page would need to know which one.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::optional<IniValue> findIniValue(std::string_view bytes, std::string_view section,
                                     std::string_view key) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    const bool utf8 = bytes.substr(0, bom.size()) == bom;
    if (utf8)
        bytes.remove_prefix(bom.size());

    bool inSection = false;
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        const std::string_view line = trimmed(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);

        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            inSection = sameName(
                trimmed(line.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                       : close - 1)),
                section);
            continue;
        }
        if (!inSection)
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || !sameName(trimmed(line.substr(0, equals)), key))
            continue;
        return IniValue{std::string(unquoted(trimmed(line.substr(equals + 1)))), utf8};
    }
    return std::nullopt;
}

std::u16string fromAutorunCodePage(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text += autorun::charOf(static_cast<unsigned char>(byte));
    return text;
}

} // namespace zolvex
