// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

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

// The one line that tells where a new drive table is and how to add a drive.
QString newDriveTableText(const QString& tableFolder);

// Makes the drive table when there is none yet; returns true when it did, and
// the program then says so with tellNewDriveTable once its window is shown.
bool prepareDriveTable();
void tellNewDriveTable(QWidget* parent);

} // namespace toolkit
