#include "converter/StartPlace.h"

#include "converter/CamcorderName.h"
#include "converter/Conversion.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "toolkit/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>

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

namespace {

// The videos folder the desktop names in user-dirs.dirs, as xdg-user-dir
// reads it: XDG_VIDEOS_DIR="$HOME/..." or an absolute path. Empty when the
// file names none (Qt's own answer would then be a guess).
QString desktopVideosFolder(const QString& home) {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = home + QStringLiteral("/.config");
    QFile file(config + QStringLiteral("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (!line.startsWith(QStringLiteral("XDG_VIDEOS_DIR=")))
            continue;
        QString value = line.mid(15);
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        if (value.startsWith(QStringLiteral("$HOME")))
            value = home + value.mid(5);
        if (!value.startsWith(u'/') || QDir(value) == QDir(home))
            return {}; // the home itself means that none was set
        return value;
    }
    return {};
}

} // namespace

QString VideosFolder() {
    const QString home = QDir::homePath();
    const QString candidates[] = {desktopVideosFolder(home), home + QStringLiteral("/Vidéos"),
                                  home + QStringLiteral("/Videos")};
    for (const QString& folder : candidates)
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
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
