#include "converter/StartPlace.h"

#include "converter/CamcorderName.h"
#include "converter/Conversion.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"
#include "toolkit/SingleInstance.h"

#include <QDir>
#include <QFileInfo>

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
    // The desktop may name a folder that is gone: the usual names are tried
    // after it, and the home folder last.
    const QString home = QDir::homePath();
    const QString candidates[] = {platform::videosHostFolder(), home + QStringLiteral("/Vidéos"),
                                  home + QStringLiteral("/Videos")};
    for (const QString& folder : candidates)
        if (QFileInfo(folder).isDir())
            return platform::toWindowsPath(folder);
    return platform::toWindowsPath(home);
}

QString ConverterInstanceKey(const QString& hostFolder) {
    return toolkit::instanceKey(QStringLiteral("strovan"), hostFolder);
}

QString UserStartFolder() {
    const QString card = CamcorderCardFolder();
    return card.isEmpty() ? VideosFolder() : card;
}

} // namespace strovan
