#pragma once

#include <QString>

namespace platform {

// The value of key in section of an INI file (Windows path), section and key
// compared without regard to case, first occurrence wins. Reads ANSI, UTF-8
// (with or without BOM) and UTF-16 files. Returns defaultValue when the file,
// the section or the key is missing; never raises.
QString readIniString(const QString& iniPath, const QString& section, const QString& key,
                      const QString& defaultValue = QString());

} // namespace platform
