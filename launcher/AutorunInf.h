#pragma once

#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The autorun description that a disc reader finds at the root of the disc:
// what it starts, which icon it shows, and the site's start page.
namespace pelmora {

// Names of the files written at the root of the virtual disk.
inline const QString AutorunInfName = QStringLiteral("Autorun.inf");
inline const QString AutorunProgramName = QStringLiteral("zolvex.exe");

// A line that cannot be written as the disc readers will read it: a character
// without a byte in the 8-bit code page, a control character that would
// break the line structure, or a value that readers would take without its
// leading or trailing blanks or without its quotes.
class AutorunEncodingError : public platform::Error {
public:
    using platform::Error::Error;
};

// The four lines: the section, the program to open, the icon's file name
// (nothing after "=" without an icon) and the start page's name.
QStringList AutorunLines(const QString& iconPath, const QString& startPage);

// The file's bytes: each line, the last one included, followed by CR LF, in
// the code page the disc's autorun program reads (autorun::CodePage). Raises AutorunEncodingError,
// so that nothing is written under a name that no reader could find.
QByteArray AutorunBytes(const QStringList& lines);

// Writes bytes as root + "Autorun.inf". An existing read-only, hidden or
// system Autorun.inf is never replaced (IoError 5). The bytes go to a
// temporary file beside it first, so that a failed write leaves the previous
// file, or none, but never a truncated one; failures raise IoError.
void WriteAutorunInf(const QString& root, const QByteArray& bytes);
// The same, in a root folder already open.
void WriteAutorunInf(const platform::Folder& root, const QByteArray& bytes);

} // namespace pelmora
