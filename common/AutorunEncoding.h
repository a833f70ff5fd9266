#pragma once

#include <string>
#include <string_view>

// How Autorun.inf is encoded, one definition for the launcher that writes the
// file and for the disc's autorun program that reads it. The disc is read on
// machines whose own ANSI code page may be another (Polish, Russian...), so
// neither side may use the machine's. Plain C++, for both the launcher and
// the cross-built Windows program.
//
// A file whose text fits Windows-1252 is written in it, byte for byte as
// every earlier disc; any other is written as UTF-16LE after a byte-order
// mark, the form Windows' own profile functions read as Unicode.
namespace autorun {

// Windows-1252.
inline constexpr unsigned CodePage = 1252;

// Bytes 0x80-0x9F; the five bytes the code page leaves unused stand for the
// C1 control of the same number, as Windows decodes them.
inline constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t charOf(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : char16_t(byte);
}

// The byte of c, or -1 when the code page has none.
constexpr int byteOf(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (High[i] == c)
            return 0x80 + i;
    return -1;
}

inline constexpr std::string_view Utf16Mark = "\xFF\xFE";
// Written by earlier launchers on systems whose code page was UTF-8.
inline constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

constexpr bool fitsCodePage(std::u16string_view text) {
    for (const char16_t c : text)
        if (byteOf(c) < 0)
            return false;
    return true;
}

// The file's bytes for text (its lines with their CR LF).
inline std::string encode(std::u16string_view text) {
    std::string bytes;
    if (fitsCodePage(text)) {
        bytes.reserve(text.size());
        for (const char16_t c : text)
            bytes += static_cast<char>(byteOf(c));
        return bytes;
    }
    bytes.reserve(Utf16Mark.size() + 2 * text.size());
    bytes += Utf16Mark;
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

namespace detail {

// A byte that starts no valid sequence (cut short, overlong, a surrogate or
// beyond U+10FFFF) stands for U+FFFD, as Windows decodes it.
inline std::u16string fromUtf8(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80    ? 1
                           : lead >= 0xF0 ? 4
                           : lead >= 0xE0 ? 3
                           : lead >= 0xC2 ? 2
                                          : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool valid = length > 0 && lead <= 0xF4 && i + length <= bytes.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                      (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            valid = false;
        if (!valid) {
            text += u'\xFFFD';
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
        i += length;
    }
    return text;
}

} // namespace detail

// The text of a file in any form the launcher writes or has written; an odd
// last byte of a UTF-16 file is no character and is dropped.
inline std::u16string decode(std::string_view bytes) {
    std::u16string text;
    if (bytes.substr(0, Utf16Mark.size()) == Utf16Mark) {
        bytes.remove_prefix(Utf16Mark.size());
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
        return text;
    }
    if (bytes.substr(0, Utf8Mark.size()) == Utf8Mark)
        return detail::fromUtf8(bytes.substr(Utf8Mark.size()));
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text += charOf(static_cast<unsigned char>(byte));
    return text;
}

} // namespace autorun
