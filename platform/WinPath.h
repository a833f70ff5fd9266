#pragma once

#include <QString>
#include <QStringList>

// Pure string rules on Windows paths (backslash separators, drive letters).
// Nothing here touches the host.
namespace platform::winpath {

// "X:\" (a drive root written with its backslash).
bool isDriveRoot(const QString& path);
// The drive letter of an absolute path "X:..." in upper case, or a null QChar.
QChar driveLetter(const QString& path);
// Everything up to and including the last backslash or colon.
QString folderPart(const QString& path);
// Everything after the last backslash or colon.
QString fileName(const QString& path);
// path with exactly one trailing backslash.
QString withTrailingBackslash(const QString& path);
// path without trailing backslash, except for a drive root ("C:\").
QString withoutTrailingBackslash(const QString& path);
// The names of a path, split on "\" and "/" (both separators to Windows),
// empty names left out.
QStringList components(const QString& path);
// Resolves "." and ".." (held at the drive root), folds repeated separators
// into one backslash, keeps the root's backslash. Expects an absolute "X:\..."
// path.
QString normalize(const QString& absolutePath);
// Makes path absolute as Windows does: "X:\a" as is, "\a" against the current
// folder's drive, "X:a" against drive X's current folder, "a" against the
// current folder. The current folders come from the working-folder service.
QString expand(const QString& path);

} // namespace platform::winpath
