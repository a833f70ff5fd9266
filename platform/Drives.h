#pragma once

#include "platform/Volumes.h"

#include <QList>
#include <QString>

// The drive table: a folder holding one symbolic link per drive ("c:", "x:"),
// each pointing at the host folder that the drive's root stands for. "z:"
// stands for "/" unless the table defines it.
namespace platform {

// PELMORA_DRIVES, else $XDG_CONFIG_HOME/pelmora/drives (~/.config/pelmora/drives).
QString driveTableFolder();

// Upper-case letters of the drives the table defines, the removable volumes'
// letters, plus Z, in order. A drive whose link is broken is still listed
// (like a reader without medium).
QList<QChar> definedDrives();

// Creates the drive table on a first start, when there is none yet: c: for the
// user's home folder (z: stands for "/" without an entry). Returns true when it
// made the table; an existing table, even an empty one, is never touched.
bool createDefaultDriveTable();

// The folder of the user's own settings, beside the drive table (its parent):
// $XDG_CONFIG_HOME/pelmora, or the folder holding PELMORA_DRIVES' table.
QString userSettingsFolder();

// True when the table itself holds the letter (a link, or a folder standing
// for the drive), as opposed to z: by default or a removable volume.
bool tableDefinesDrive(QChar letter);

// Gives the letter (A to Y) to a host folder: a link in the table, which is
// made when missing. Fails with ErrAlreadyExists when the table holds the
// letter already, ErrInvalidDrive for Z or a character that is no letter.
int defineDrive(QChar letter, const QString& hostFolder);

// Takes the letter away from the table: only the link goes; the folder it
// stands for is never touched. ErrInvalidDrive when the table does not hold
// the letter; ErrAccessDenied when the table holds a folder of its own there
// (removing it would touch what is in it).
int removeDrive(QChar letter);

// A mounted removable volume and the drive letter it stands for. Each gets the
// first letter from D that neither the table nor another volume holds, and
// keeps it while it stays mounted; a letter the table defines later goes back
// to the table. No link is written.
struct RemovableDrive {
    QChar letter;
    MountPoint mount;
};
QList<RemovableDrive> removableDrives();

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
