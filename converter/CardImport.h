#pragma once

#include "converter/Mpeg2Aspect.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

// The import of a camcorder's card, free of any window: its recordings are
// copied into a folder of the user's videos folder, each copy flushed and
// compared with the card before it takes its name, and the card is only ever
// read. The conversion then works on the copy, and the card stays as the
// camcorder wrote it (a card converted in place no longer plays in it).
namespace strovan {

// A file the import copies: the clips and index files of the selected folder
// and of its recording folders ("PRG..."), nothing else.
struct CardFile {
    QString folder; // its recording folder on the card; empty at the top
    QString name;
    qint64 size = 0;
    qint64 modifiedMs = 0;    // as the card keeps it
    bool imported = false;    // an earlier import copied it, and the copy is still there
    QString relative() const; // "PRG001\MOV001.MOD"
};

struct ImportPlan {
    QString card;        // the selected folder on the card
    QString destination; // the folder the copy goes to; made by the import
    QDate earliest;      // earliest recording date on the card; invalid when nothing tells
    QList<CardFile> files;
    bool earlierImport = false; // destination holds an earlier import of this card
    int error = 0;              // the card could not be listed (Windows code)

    int toCopy() const;
    int alreadyImported() const;
    qint64 bytesToCopy() const;
};

// "Camescope 2009-07-14".
QString ImportFolderName(const QDate& date);

// True when the folder lies on a removable volume: what an import is offered for.
bool IsCardFolder(const QString& folder);

// Reads what the import of cardFolder into videosFolder would copy, and
// where to: into the folder of an earlier import of the same recordings, else
// into a new folder named after the earliest recording date (the index files'
// dates, else the clips' times), with " (2)", " (3)"... when that name is
// taken. Files of an earlier import whose copy is still there are marked
// imported.
ImportPlan PlanImport(const QString& cardFolder, const QString& videosFolder);

struct SpaceCheck {
    qint64 needed = 0;
    qint64 available = -1; // -1 when the disk cannot tell
    int error = 0;
    bool enough() const { return available < 0 || available >= needed; }
};

// Whether the disk that is to hold the destination has room for the files
// still to copy.
SpaceCheck CheckSpace(const ImportPlan& plan);

// The file being copied (relative to the card folder), the bytes copied of
// all files to copy, and how many files are done. Called from the import's
// thread.
using ImportProgress =
    std::function<void(const QString& file, qint64 bytesDone, qint64 bytesTotal, int filesDone)>;

struct ImportHooks {
    ImportProgress progress;
    StopCheck stop; // asked between two files and between two chunks of a file
};

struct ImportFailure {
    QString name;         // relative to the card folder; empty for the destination itself
    int code = 0;         // Windows code
    bool onCard = false;  // reading the card failed
    bool differs = false; // the copy read back was not equal to the card's file
};

struct ImportReport {
    QString destination;
    int copied = 0;          // copied and verified by this import
    int alreadyImported = 0; // left as an earlier import copied them
    qint64 bytesCopied = 0;
    QList<ImportFailure> failures; // files not copied; the import went on
    bool stopped = false;          // the stop hook ended it
    // What ended the import early: a read error on the card, a full disk, a
    // destination that cannot be made.
    bool halted = false;
    ImportFailure halt;
    // Every file of the plan is now in the destination, verified.
    bool complete() const { return !stopped && !halted && failures.isEmpty(); }
};

// Copies the files of the plan not imported yet. Each is written under a
// temporary name, flushed, compared with the card byte for byte, then named;
// the destination's record of the import is updated after each one, so that
// an import stopped for any reason goes on where it ended when run again.
ImportReport ImportCard(const ImportPlan& plan, const ImportHooks& hooks = {});

// The record an import keeps in its destination: one line per file copied
// and verified (its place on the card, size and time).
QString ImportRecordName();

// What an import did, in French, a line each: where the recordings now are,
// how many were copied and verified, how many an earlier import had copied,
// what stopped it, what failed and why.
QStringList ImportReportLines(const ImportReport& report);

} // namespace strovan
