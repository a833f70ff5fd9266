// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

// The suite's settings: which drive letter is the virtual disk. The user's
// own settings file, beside the drive table, comes first; the suite folder's,
// as a Windows-style suite lays it out, after it.
namespace toolkit {

// Where the virtual drive is named: the settings file's name, its section and
// its key (the programs give the suite's own names).
struct VirtualDriveSetting {
    QString file;
    QString section;
    QString key;
};

// Host path of the user's own settings file.
QString userSettingsFile(const VirtualDriveSetting& setting);

// The virtual drive as written ("X:"): the user's file when it holds the key
// (even empty: the user chose no virtual disk), else the one in the suite
// folder (a Windows path, to which "\" and the file's name are appended). Empty when neither names one.
QString readVirtualDrive(const VirtualDriveSetting& setting, const QString& suiteFolder);

// Names the virtual drive in the user's own file, made when missing, with
// the designation the programs compare with ("X:"; an empty letter for none).
// Returns a Windows code.
int writeVirtualDrive(const VirtualDriveSetting& setting, QChar letter);

// The designation the settings hold for a letter: upper case and a colon.
QString driveDesignation(QChar letter);

// True when the folder (a Windows path) is reached only through z: standing
// for the whole system: an installed suite, which lies in none of the user's
// drives, as opposed to a suite folder laid out on one of them.
bool isSystemFolder(const QString& folder);

} // namespace toolkit
