#include "AutorunIni.h"

#include "common/AutorunEncoding.h"

namespace zolvex {

namespace {

std::u16string_view trimmed(std::u16string_view text) {
    constexpr std::u16string_view blanks = u" \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::u16string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Only ASCII letters fold: the names this program asks for are ASCII.
bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::u16string_view unquoted(std::u16string_view value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::optional<std::u16string> findIniValue(std::string_view bytes, std::u16string_view section,
                                           std::u16string_view key) {
    const std::u16string whole = autorun::decode(bytes);
    std::u16string_view text = whole;
    bool inSection = false;
    while (!text.empty()) {
        const auto end = text.find(u'\n');
        const std::u16string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const auto close = line.find(u']');
            inSection = sameName(trimmed(line.substr(1, close == std::u16string_view::npos
                                                            ? std::u16string_view::npos
                                                            : close - 1)),
                                 section);
            continue;
        }
        if (!inSection)
            continue;
        const auto equals = line.find(u'=');
        if (equals == std::u16string_view::npos || !sameName(trimmed(line.substr(0, equals)), key))
            continue;
        return std::u16string(unquoted(trimmed(line.substr(equals + 1))));
    }
    return std::nullopt;
}

} // namespace zolvex
