#pragma once

#include <QString>
#include <QStringList>

#include <functional>

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
// Makes path absolute as Windows does: "X:\a" as is, "\a" against the drive
// of current, "X:a" against driveCurrent(X), "a" against current. The current
// folders are the caller's to give (platform::absolutePath gives the
// process's own).
QString expand(const QString& path, const QString& current,
               const std::function<QString(QChar)>& driveCurrent);

} // namespace platform::winpath
