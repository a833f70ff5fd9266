#include "converter/StartPlace.h"

#include "converter/CamcorderName.h"
#include "converter/Conversion.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace strovan {

namespace {

// What a camcorder leaves at the top of a folder: recording folders or clips.
bool holdsRecordings(const QList<platform::DirEntry>& entries) {
    for (const platform::DirEntry& entry : entries) {
        if (entry.isFolder() ? IsCamcorderFolderName(entry.name)
                             : Extension(entry.name).compare(u".MOD", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QString CamcorderCardFolder() {
    for (const platform::RemovableDrive& drive : platform::removableDrives()) {
        const QString root = QString(drive.letter) + QStringLiteral(":\\");
        int error = platform::NoError;
        const QList<platform::DirEntry> entries = platform::listFolder(root + QStringLiteral("*.*"), &error);
        for (const platform::DirEntry& entry : entries)
            if (entry.isFolder() && entry.name.compare(u"SD_VIDEO", Qt::CaseInsensitive) == 0)
                return root + entry.name;
        if (holdsRecordings(entries))
            return root;
    }
    return {};
}

QString VideosFolder() {
    const QString home = QDir::homePath();
    // Qt reads the desktop's user-dirs.dirs, as xdg-user-dir does; a videos
    // folder that is the home itself means none was set.
    QStringList candidates;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!desktop.isEmpty() && QDir(desktop) != QDir(home))
        candidates << desktop;
    candidates << home + QStringLiteral("/Vidéos") << home + QStringLiteral("/Videos");
    for (const QString& folder : std::as_const(candidates))
        if (QFileInfo(folder).isDir())
            return platform::toWindowsPath(folder);
    return platform::toWindowsPath(home);
}

QString UserStartFolder() {
    const QString card = CamcorderCardFolder();
    return card.isEmpty() ? VideosFolder() : card;
}

} // namespace strovan
