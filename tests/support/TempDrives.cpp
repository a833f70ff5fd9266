#include "TempDrives.h"

#include "platform/Drives.h"
#include "platform/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempDrives::TempDrives() {
    m_hadDrives = qEnvironmentVariableIsSet("PELMORA_DRIVES");
    m_oldDrives = qgetenv("PELMORA_DRIVES");
    m_oldHostFolder = QDir::currentPath();
    QDir(m_dir.path()).mkpath(QStringLiteral("drives"));
    qputenv("PELMORA_DRIVES", QFile::encodeName(m_dir.path() + QStringLiteral("/drives")));
    platform::resetWorkingFolders();
}

TempDrives::~TempDrives() {
    if (m_hadDrives)
        qputenv("PELMORA_DRIVES", m_oldDrives);
    else
        qunsetenv("PELMORA_DRIVES");
    // The test may have moved the host's working folder into the tree that is
    // about to go; the next test must not start in a deleted folder.
    QDir::setCurrent(m_oldHostFolder);
    platform::resetWorkingFolders();
}

QString TempDrives::addDrive(QChar letter, const QString& target) {
    QString folder = target;
    if (folder.isEmpty()) {
        folder = m_dir.path() + QStringLiteral("/disk_") + letter.toLower();
        QDir().mkpath(folder);
    }
    const QString link = m_dir.path() + QStringLiteral("/drives/") + letter.toLower() + u':';
    QFile::remove(link);
    QFile::link(folder, link);
    return folder;
}

void TempDrives::addBrokenDrive(QChar letter) {
    addDrive(letter, m_dir.path() + QStringLiteral("/nowhere_") + letter.toLower());
}

QString TempDrives::makeFolder(const QString& winPath) {
    QString root = platform::driveHostRoot(winPath.at(0));
    QString rest = winPath.mid(3);
    rest.replace(u'\\', u'/');
    const QString host = QDir::cleanPath(root + u'/' + rest);
    QDir().mkpath(host);
    return host;
}

QString TempDrives::writeFile(const QString& winPath, const QByteArray& content) {
    const qsizetype cut = winPath.lastIndexOf(u'\\');
    const QString folder = makeFolder(winPath.left(cut + 1));
    const QString host = folder + u'/' + winPath.mid(cut + 1);
    QFile file(host);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return host;
}

QByteArray TempDrives::readFile(const QString& winPath) const {
    const QString host = platform::toHostPath(winPath);
    QFile file(host);
    if (host.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
