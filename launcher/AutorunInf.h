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

// A line that cannot be written as the disc readers will read it: a name
// that Windows cannot keep on the disc, a control character that would
// break the line structure, or a value that readers would take without its
// leading blank or without its quotes.
class AutorunEncodingError : public platform::Error {
public:
    using platform::Error::Error;
};

// Why a file of this name at the root of the disc could not be named in
// Autorun.inf, as a French sentence naming the character or the rule: a
// name Windows cannot store (its forbidden characters, a control character,
// a final blank or dot, a device name such as CON or LPT1.htm, a path past
// Windows' 260 characters), or one readers would read otherwise. Empty when
// the name can be written.
QString AutorunNameRefusal(const QString& name);

// The four lines: the section, the program to open, the icon's file name
// (nothing after "=" without an icon) and the start page's name.
QStringList AutorunLines(const QString& iconPath, const QString& startPage);

// The file's bytes: each line, the last one included, followed by CR LF, in
// the form the disc's autorun program reads (common/AutorunEncoding.h):
// Windows-1252 when every character has a byte there, UTF-16LE after a
// byte-order mark otherwise. Raises AutorunEncodingError for a line or a
// value refused, so that nothing is written under a name no reader finds.
QByteArray AutorunBytes(const QStringList& lines);

// The lines of bytes as the disc's autorun program reads them back.
QStringList AutorunPreview(const QByteArray& bytes);

// Writes bytes as root + "Autorun.inf". An existing read-only, hidden or
// system Autorun.inf is never replaced (IoError 5). The bytes go to a
// temporary file beside it first, so that a failed write leaves the previous
// file, or none, but never a truncated one; failures raise IoError.
void WriteAutorunInf(const QString& root, const QByteArray& bytes);
// The same, in a root folder already open.
void WriteAutorunInf(const platform::Folder& root, const QByteArray& bytes);

} // namespace pelmora
