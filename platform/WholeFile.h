#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The whole of the regular file at a host path, read through the platform's
// one guarded opening: never waiting on a pipe, refusing what is not a plain
// file (a folder, a pipe, a device such as /dev/zero), and reading nothing
// of a file larger than maxSize (ErrFileTooLarge). A null array with *error
// set on failure; an empty file reads as an empty, non-null array.
QByteArray readRegularFile(const QString& hostPath, qint64 maxSize, int* error);

} // namespace platform
