#pragma once

#include <QString>

#include <functional>

// The conversion of a selected camcorder folder, free of any window: its
// recording folders and their .MOD clips get decimal-counter names, the .MOI
// and .PGI index files are deleted, everything else is left alone.
namespace strovan {

// Shows a message to the user (the window passes a message box; tests record).
using ConversionNotice = std::function<void(const QString& message)>;

// Converts the selected folder (a Windows path without trailing backslash, or
// a drive root "X:\"). Failed renames and deletions are not reported; a
// recording folder holding a folder is reported through notice and left half
// done, and the walk goes on.
void ConvertFolder(const QString& selectedFolder, const ConversionNotice& notice);

// The message shown for a recording folder that holds a folder.
QString NestedFolderMessage();

} // namespace strovan
