#pragma once

#include <QString>

namespace platform {

// The value of key in section of an INI file (Windows path), read by the
// rules of the Windows profile reader: lines end at LF or CR; blanks (tab to
// carriage return, and space) around lines, names and values are dropped;
// "=" is the only separator; nothing on a line is a comment (";Virtuel" is
// merely a key of another name, and "X: ; note" a whole value); quotes round
// a whole value are dropped.
// Names compare without regard to case, the first occurrence wins. A key's
// name in the file, and each name asked for, ends at its first NUL; an empty
// key finds the line "=value". A file beginning with a UTF-16 or UTF-8
// byte-order mark is read in that encoding, any other in Windows-1252.
//
// Only a regular file of at most MaxIniFileSize bytes is read: anything else
// (a folder, a pipe, a device, a larger file) reads as absent, without ever
// blocking. Returns defaultValue when the file, the section or the key is
// missing; never raises.
QString readIniString(const QString& iniPath, const QString& section, const QString& key,
                      const QString& defaultValue = QString());

inline constexpr qint64 MaxIniFileSize = 1 << 20;

// Sets key in section of an INI file (Windows path) to value, as the Windows
// profile writer does: the first line of that key in the first section of
// that name is rewritten, a missing key is added at the end of its section,
// a missing section at the end of the file, a missing file is created;
// every other line stays as it was. The file keeps its encoding (a
// byte-order mark says which); a new one is Windows-1252 with CR LF line
// ends. It is written through a Replacement, so that a reader never sees it
// half written. Returns a Windows code: ErrInvalidName when the section or
// key is empty or the value cannot be written in the file's encoding,
// ErrFileExists for a file too large to be a settings file.
int writeIniString(const QString& iniPath, const QString& section, const QString& key,
                   const QString& value);

} // namespace platform
