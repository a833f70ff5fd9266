#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading one value of the disc's Autorun.inf as Windows reads INI files:
// section and key names compared without regard to case, blanks around names
// and values ignored, lines beginning with ";" skipped, a value in matching
// quotes taken without them. Plain C++ so that it is tested on any host.
namespace zolvex {

struct IniValue {
    std::string text;  // the value's bytes, in the file's encoding
    bool utf8 = false; // the file began with a UTF-8 byte-order mark
};

// The first value of key in section, or nothing when the file holds no such
// line. An empty value ("HTM=") is a value.
std::optional<IniValue> findIniValue(std::string_view bytes, std::string_view section,
                                     std::string_view key);

// The text of bytes in the code page the launcher writes Autorun.inf in,
// whatever the code page of the machine that reads the disc.
std::u16string fromAutorunCodePage(std::string_view bytes);

} // namespace zolvex
