// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/SuiteSettings.h"

#include <QString>

#include <functional>

#include <optional>

class QWidget;

// What both programs do before and just after their first window: the command
// line's --help and --version, and the drive table of a first start.
namespace toolkit {

struct ProgramInfo {
    QString name;        // as the windows call the program
    QString version;     // the suite's version
    QString description; // one French paragraph for --help
    QString argumentName;
    QString argumentHelp; // empty when the program reads no argument
};

// Answers --help and --version on standard output, before any window (and
// without a display). Returns the exit code then, nothing when the program
// goes on. Other arguments are left to the program and to Qt.
std::optional<int> answerInfoOptions(int argc, char** argv, const ProgramInfo& info);

// What a first start set up: the drive table with c: for the home folder,
// and a virtual disk, an empty folder of the home given a letter and named
// in the user's own settings.
struct FirstStart {
    bool madeTable = false;
    QChar virtualLetter;   // null when the virtual disk could not be made
    QString virtualFolder; // host path
    int error = 0;         // why it could not, a Windows code
};

// Where a first start puts the virtual disk: ~/Pelmora/Disque virtuel.
QString defaultVirtualDiskFolder();

// The letter a first start gives the virtual disk: X, or the first free
// one from X down.
QChar freeVirtualLetter();

// Makes the drive table when there is none yet, and the virtual disk with
// it. An existing table, even an empty one, is never touched: madeTable is
// then false and nothing else is done.
FirstStart prepareDriveTable(const VirtualDriveSetting& setting);

// The one or two sentences that say what a first start set up and that the
// drives window changes it.
QString firstStartText(const FirstStart& start);

// Tells what the first start set up, once the program's window is shown;
// the box's "Lecteurs" button calls openDrives.
void tellFirstStart(QWidget* parent, const FirstStart& start,
                    const std::function<void()>& openDrives);

} // namespace toolkit
