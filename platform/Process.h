#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Program starts and document opens. Every start goes through one seam that
// tests can replace to record what would have been started.
namespace platform {

// Show commands of the Windows API (the host's window manager decides).
enum ShowCommand : int { ShowNormal = 1, ShowShown = 5 };

struct StartRequest {
    QString program;           // Windows path of the program file found
    QStringList arguments;     // kept apart, never re-split
    QString workingFolder;     // Windows path, exactly as the caller gave it
    QString hostProgram;       // the same, on the host
    QString hostWorkingFolder; // the same, on the host
};

// Returns true when the program was started (detached: it outlives us).
using StartHook = std::function<bool(const StartRequest&)>;
// Opens a host document path or a web address with the desktop's opener.
using OpenHook = std::function<bool(const QString& target)>;

// An empty hook restores the real start / open.
void setStartHook(StartHook hook);
void setOpenHook(OpenHook hook);

// The hook's answer for target when one is set, nothing otherwise: the
// toolkit's opener, which watches the real opener's exit status, goes through
// the same seam.
std::optional<bool> openThroughHook(const QString& target);

// Splits a Windows parameter string into arguments: blanks separate, double
// quotes group, \" is a quote.
QStringList splitParameters(const QString& parameters);

// Finds a program file as the Windows shell would: a bare name in folder, an
// extension that may be left off on the host ("Strovan.EXE" finds "Strovan"),
// names compared without regard to case. Returns the Windows path found, or
// an empty string.
QString findProgram(const QString& name, const QString& folder);

// The shell's execute: a program is started with the parameters in the working
// folder; any other file is opened with the desktop's opener. Returns a
// Windows code: 0 when started, 2 file not found, 3 folder not found, 5 when
// the start was refused.
int shellExecute(const QString& file, const QString& parameters, const QString& workingFolder,
                 int showCommand);

// Starts the program at its explicit path, with its arguments kept apart.
// Returns a Windows error code (0 when started).
int startProgram(const QString& program, const QStringList& arguments,
                 const QString& workingFolder);

// Opens a document (Windows path) or a web address with the desktop's opener,
// as one argument. Returns a Windows code: 0 when opened, 2 for a document
// that is not there, 5 when the opener refused.
int openDocument(const QString& path);
int openUrl(const QString& url);

} // namespace platform
