#pragma once

#include <QString>
#include <QStringView>

// The camcorder's names: a three-character prefix and a three-character
// hexadecimal counter (PRG001, MOV00A.MOD) become a four-digit decimal counter
// (PRG0001, MOV0010.MPG). Pure string work, except RenameCamcorderFile.
namespace strovan {

// New path for a folder name or a file path: same folder part, prefix, the
// counter in four decimal digits, and ".MPG" when the extension head is
// ".MOD" in any case (any other extension is dropped). A name part of
// exactly 7 characters is returned unchanged.
QString MapCamcorderName(const QString& path);

// Renames the file at path to MapCamcorderName(path), never replacing an
// existing file. Returns the Windows error code of the rename; callers may
// ignore it (a failed rename leaves the file as it was).
int RenameCamcorderFile(const QString& path);

// Characters of s, a surrogate pair counting as one character.
qsizetype CharacterCount(QStringView s);

// From the last "." of name to its end, or empty when name has no dot.
QStringView Extension(QStringView name);

// What the camera writes, decided on the extension, case-sensitively: ".MOD"
// exactly is a clip; an extension head ".MOI" or ".PGI" is an index file
// (".MOIX" too).
enum class FileKind { Clip, Index, Other };
FileKind KindOf(QStringView name);

} // namespace strovan
