#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading one value of the disc's Autorun.inf as Windows reads INI files:
// section and key names compared without regard to case, blanks around names
// and values ignored, lines beginning with ";" skipped, a value in matching
// quotes taken without them. Plain C++ so that it is tested on any host.
namespace zolvex {

// The first value of key in section of the file's bytes, decoded in
// whichever form the launcher wrote the file (autorun::decode), or nothing
// when the file holds no such line. An empty value ("HTM=") is a value.
std::optional<std::u16string> findIniValue(std::string_view bytes, std::u16string_view section,
                                           std::u16string_view key);

} // namespace zolvex
