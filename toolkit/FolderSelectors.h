#pragma once

// The linked folder selectors: a drive selector, a folder list and a file
// list, wired to each other, to a label showing the folder and to an edit box
// showing the chosen file. All three start on the process's working folder.
// Folders are Windows paths without trailing backslash, except a drive root.
#include "toolkit/DirectoryListBox.h"
#include "toolkit/DriveComboBox.h"
#include "toolkit/FileListBox.h"
