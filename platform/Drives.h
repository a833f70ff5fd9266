#pragma once

#include <QList>
#include <QString>

// The drive table: a folder holding one symbolic link per drive ("c:", "x:"),
// each pointing at the host folder that the drive's root stands for. "z:"
// stands for "/" unless the table defines it.
namespace platform {

// PELMORA_DRIVES, else $XDG_CONFIG_HOME/pelmora/drives (~/.config/pelmora/drives).
QString driveTableFolder();

// Upper-case letters of the drives the table defines, plus Z, in order. A drive
// whose link is broken is still listed (like a reader without medium).
QList<QChar> definedDrives();

// Host folder of a drive's root, or an empty string when the drive is not
// defined. The folder may not exist (see driveReady).
QString driveHostRoot(QChar letter);

// True when the drive is defined and its root folder can be reached.
bool driveReady(QChar letter);

// Host path of an absolute or relative Windows path. Every folder on the way
// is looked up exactly, then without regard to case; the last name likewise,
// and kept as written when nothing matches. Returns an empty string and sets
// *error (a Windows code) when the drive is unknown or a folder on the way is
// missing.
QString toHostPath(const QString& winPath, int* error = nullptr);

// Like toHostPath, but the last name is taken exactly as written: for targets
// of creations and renames, where looking the folder up would cost a listing.
QString toHostPathExactName(const QString& winPath, int* error = nullptr);

// Windows form of a host path: under the drive whose target is its longest
// matching prefix (z: for "/" by default).
QString toWindowsPath(const QString& hostPath);

} // namespace platform
