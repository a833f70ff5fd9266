#pragma once

#include <QString>

// The process's working folder as a Windows path, with a current folder per
// drive as Windows keeps one.
namespace platform {

// The working folder; at first the host's working folder in its Windows form.
QString currentFolder();

// Makes path (absolute or relative) the working folder and its drive's current
// folder, and moves the host's working folder along. Returns the Windows code;
// when the folder cannot be reached nothing changes.
int setCurrentFolder(const QString& path);

// Drive's current folder: the last folder made current on it, else its root.
QString driveCurrentFolder(QChar letter);

// path made absolute against the working folder and the drives' current
// folders, as Windows does ("\a", "X:a", "a"); an absolute path as it is.
QString absolutePath(const QString& path);

// Forgets every drive's current folder and takes the host's working folder
// afresh (for a new drive table).
void resetWorkingFolders();

} // namespace platform
