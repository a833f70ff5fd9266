#pragma once

#include "common/SuiteLayout.h"

#include <QString>

// The converter's side of the hand-off with the suite's menu: the start of the
// menu program one level above the folder the converter was started in. The
// window holds that folder; it is read once at start-up, before any window
// exists, and passed in.
namespace strovan {

// The menu program, looked up in the parent of the start folder.
using suite::MenuProgram;

// The part of path before its last backslash; empty when its only backslash
// is the one after the drive ("C:\Suite", "C:\").
QString ParentFolder(const QString& path);

// Makes the parent of startFolder the working folder and starts the menu
// program there, unless the menu already runs for that suite folder: it then
// comes forward instead. The converter keeps running. Raises platform::IoError when
// that folder cannot be made current (nothing is started then), and
// platform::Error when the menu program is missing or does not start.
void ReturnToMenu(const QString& startFolder);

} // namespace strovan
