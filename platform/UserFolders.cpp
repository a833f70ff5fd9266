#include "platform/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

// The value of key in user-dirs.dirs: a shell assignment, quoted, holding a
// path absolute or relative to $HOME ("$HOME/Vidéos"). Empty when the file
// or the key is missing, or names the home folder itself (the desktop's way
// of saying there is no such folder).
QString userDir(const QString& key) {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile file(config + QStringLiteral("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString value;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith(key + u'='))
            continue;
        value = line.mid(key.size() + 1);
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        if (value.startsWith(QStringLiteral("$HOME")))
            value = QDir::homePath() + value.mid(5);
        else if (!value.startsWith(u'/'))
            value.clear();
    }
    value = QDir::cleanPath(value);
    return value == QDir::cleanPath(QDir::homePath()) || value == u"." ? QString() : value;
}

} // namespace

QString videosHostFolder() {
    const QString named = userDir(QStringLiteral("XDG_VIDEOS_DIR"));
    if (!named.isEmpty())
        return named;
    const QString home = QDir::homePath();
    for (const QString& name : {QStringLiteral("Vidéos"), QStringLiteral("Videos")})
        if (QFileInfo(home + u'/' + name).isDir())
            return home + u'/' + name;
    return home + QStringLiteral("/Vidéos");
}

} // namespace platform
