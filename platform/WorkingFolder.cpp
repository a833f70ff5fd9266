#include "platform/WorkingFolder.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WinPath.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

struct State {
    QString current;
    QHash<QChar, QString> perDrive;
};

State& state() {
    static State s;
    return s;
}

} // namespace

QString currentFolder() {
    State& s = state();
    if (s.current.isEmpty()) {
        s.current = toWindowsPath(QDir::currentPath());
        s.perDrive.insert(winpath::driveLetter(s.current), s.current);
    }
    return s.current;
}

int setCurrentFolder(const QString& path) {
    if (path.isEmpty())
        return ErrPathNotFound;
    const QString full = winpath::withoutTrailingBackslash(absolutePath(path));
    int error = NoError;
    const QString host = toHostPath(full, &error);
    if (host.isEmpty())
        return error;
    struct stat st;
    if (::stat(QFile::encodeName(host).constData(), &st) != 0)
        return errno == ENOENT ? ErrPathNotFound : winErrorFromErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return ErrDirectory;
    if (::chdir(QFile::encodeName(host).constData()) != 0)
        return winErrorFromErrno(errno);
    State& s = state();
    s.current = full;
    s.perDrive.insert(winpath::driveLetter(full), full);
    return NoError;
}

QString driveCurrentFolder(QChar letter) {
    const QChar upper = letter.toUpper();
    currentFolder(); // the start folder counts as its drive's current folder
    const auto it = state().perDrive.constFind(upper);
    if (it != state().perDrive.constEnd())
        return *it;
    return QString(upper) + QStringLiteral(":\\");
}

QString absolutePath(const QString& path) {
    return winpath::expand(path, currentFolder(), driveCurrentFolder);
}

void resetWorkingFolders() {
    state() = State();
}

} // namespace platform
