#pragma once

#include "converter/Mpeg2Aspect.h"
#include "platform/FileSystem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The conversion of a selected camcorder folder, free of any window: its
// recording folders and their .MOD clips get decimal-counter names, the .MOI
// and .PGI index files are deleted, everything else is left alone. Before an
// index file goes, its clip gets what only the index knew: the recording's
// date and, for a clip filmed in 16:9, the shape its own headers lack.
namespace strovan {

// Shows a message to the user (the window passes a message box; tests record).
using ConversionNotice = std::function<void(const QString& message)>;

// What the walk is doing: a clip's name relative to the selected folder, and
// how many clips it has handled so far. Called from the walk's thread.
using ConversionProgress = std::function<void(const QString& clip, bool widening, int clipsDone)>;

struct ConversionHooks {
    ConversionProgress progress;
    StopCheck stop; // asked between two files and between two writes
    // Top-level folders the walk leaves exactly as they are: not renamed,
    // not entered (the user said they are no camcorder's).
    QStringList leaveAlone;
};

// One thing the walk could not do.
struct ConversionFailure {
    enum class Step {
        Rename,    // a folder or a clip
        Delete,    // an index file
        ReadIndex, // the index file is kept: what it knows could not be read
        Widen,     // the clip's 16:9 could not be set
        Date,      // the clip's date could not be set
        Flush,     // the clip's changes could not be confirmed on the disk
    };
    QString name; // relative to the selected folder ("PRG0001\MOV0001.MPG")
    int code = 0; // Windows error code
    bool readOnly = false;
    QString keptIndex; // the index file kept because its clip could not be fixed
    Step step = Step::Rename;
};

struct ConversionReport {
    int foldersRenamed = 0;
    int clipsRenamed = 0;
    int indexesDeleted = 0;
    int clipsWidened = 0;
    int datesRestored = 0;
    QList<ConversionFailure> failures;
    bool stopped = false; // the stop check ended the walk early
    QStringList leftAlone; // the folders of leaveAlone met by the walk
};

// What a conversion of the selected folder would meet, read from listings only.
struct ConversionPlan {
    int clips = 0;         // .MOD clips at the top and in recording folders
    bool anything = false; // a folder to rename, a clip or an index file
    QStringList foreign;   // top-level folders to be renamed that no camcorder names so
    // The same, with the foreign folders left alone.
    int clipsBesideForeign = 0;
    bool anythingBesideForeign = false;
};

// The selected folder (a Windows path without trailing backslash, or a drive
// root "X:\"), opened once, on the caller's thread: the only Windows path the
// conversion looks up. Not open for a relative path or one that cannot be
// reached.
platform::Folder OpenSelectedFolder(const QString& selectedFolder);

ConversionPlan PlanConversion(const platform::Folder& selected);
ConversionPlan PlanConversion(const QString& selectedFolder);

// True for a recording folder name as the camcorder writes it: "PRG" and
// three hexadecimal digits.
bool IsCamcorderFolderName(const QString& name);

// Converts the selected folder. A recording folder holding a folder is
// reported through notice and left half done, and the walk goes on.
// Everything done and every failure comes back in the report. Every entry is
// reached through the folder handles the walk holds, so that it may run on a
// thread of its own: it reads no state of the process that another thread
// changes. An index file goes only once what it knows is on the disk (or
// when it knows nothing), a folder's clips being flushed at the folder's end.
ConversionReport ConvertFolder(platform::Folder selected, const ConversionNotice& notice,
                               const ConversionHooks& hooks = {});
// The same for a folder named by its Windows path (OpenSelectedFolder).
ConversionReport ConvertFolder(const QString& selectedFolder, const ConversionNotice& notice,
                               const ConversionHooks& hooks = {});

// The message shown for a recording folder that holds a folder.
QString NestedFolderMessage();

} // namespace strovan
