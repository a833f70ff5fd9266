#include "platform/Drives.h"

#include "platform/Errors.h"
#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

#include <cerrno>

namespace platform {

namespace {

bool hostEntryExists(const QString& hostPath) {
    struct stat st;
    return ::lstat(QFile::encodeName(hostPath).constData(), &st) == 0;
}

bool hostIsFolder(const QString& hostPath) {
    struct stat st;
    return ::stat(QFile::encodeName(hostPath).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString linkPath(QChar letter) {
    return driveTableFolder() + u'/' + QChar(letter.toLower()) + u':';
}

// The name in hostFolder that equals name without regard to case, or an empty
// string. Names holding a backslash cannot be written in a Windows path.
QString findIgnoringCase(const QString& hostFolder, const QString& name) {
    const QDir dir(hostFolder);
    const QStringList names = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& candidate : names)
        if (!candidate.contains(u'\\') && candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    return {};
}

QString resolve(const QString& winPath, int* error, bool lookUpLastName) {
    auto fail = [error](int code) {
        if (error)
            *error = code;
        return QString();
    };
    if (error)
        *error = NoError;
    if (winPath.isEmpty())
        return fail(ErrPathNotFound);
    const QString full = winpath::expand(winPath);
    const QChar letter = winpath::driveLetter(full);
    if (letter.isNull())
        return fail(ErrPathNotFound);
    QString root = driveHostRoot(letter);
    if (root.isEmpty())
        return fail(ErrInvalidDrive);
    if (!hostIsFolder(root))
        return fail(ErrNotReady);
    if (root.endsWith(u'/') && root.size() > 1)
        root.chop(1);
    // Split as the normalising did, so that no name can hold a host separator
    // or climb above the drive's folder.
    QStringList parts = winpath::components(full.mid(3));
    parts.removeIf([](const QString& part) { return part == u"." || part == u".."; });
    const QString base = root == u"/" ? QString() : root;
    if (parts.isEmpty())
        return root;

    // Fast path: every name exactly as written.
    const QString direct = base + u'/' + parts.join(u'/');
    if (hostEntryExists(direct))
        return direct;

    QString host = base;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        const QString exact = host + u'/' + parts[i];
        if (hostEntryExists(exact)) {
            host = exact;
            continue;
        }
        if (last && !lookUpLastName) {
            host = exact;
            break;
        }
        const QString found =
            findIgnoringCase(host.isEmpty() ? QStringLiteral("/") : host, parts[i]);
        if (!found.isEmpty()) {
            host += u'/' + found;
        } else if (last) {
            host = exact;
        } else {
            return fail(ErrPathNotFound);
        }
    }
    return host;
}

} // namespace

QString driveTableFolder() {
    const QString env = qEnvironmentVariable("PELMORA_DRIVES");
    if (!env.isEmpty())
        return QDir::cleanPath(QDir(env).absolutePath());
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/pelmora/drives");
}

QList<QChar> definedDrives() {
    QList<QChar> drives;
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QChar letter(c);
        if (c == 'Z' || hostEntryExists(linkPath(letter)))
            drives << letter;
    }
    return drives;
}

QString driveHostRoot(QChar letter) {
    const QChar upper = letter.toUpper();
    if (upper < u'A' || upper > u'Z')
        return {};
    const QString link = linkPath(upper);
    const QFileInfo info(link);
    if (info.isSymLink()) {
        QString target = info.symLinkTarget(); // absolute, even for a relative link
        return target.isEmpty() ? QStringLiteral("/") : target;
    }
    if (hostEntryExists(link))
        return link; // a plain folder standing for the drive
    if (upper == u'Z')
        return QStringLiteral("/");
    return {};
}

bool driveReady(QChar letter) {
    const QString root = driveHostRoot(letter);
    return !root.isEmpty() && hostIsFolder(root);
}

QString toHostPath(const QString& winPath, int* error) {
    return resolve(winPath, error, true);
}

QString toHostPathExactName(const QString& winPath, int* error) {
    return resolve(winPath, error, false);
}

QString toWindowsPath(const QString& hostPath) {
    QString path = QFileInfo(hostPath).canonicalFilePath();
    if (path.isEmpty()) {
        // Not there (yet): its folder still decides the drive, links resolved.
        const QFileInfo info(QDir::cleanPath(QDir(hostPath).absolutePath()));
        const QString folder = QFileInfo(info.path()).canonicalFilePath();
        path = folder.isEmpty() ? info.filePath() : QDir(folder).filePath(info.fileName());
    }
    // Longest matching target wins; on a tie the earlier letter (z: comes last).
    QChar bestLetter(u'Z');
    QString bestRoot;
    for (QChar letter : definedDrives()) {
        const QString target = QFileInfo(driveHostRoot(letter)).canonicalFilePath();
        if (target.isEmpty())
            continue;
        const bool matches = target == u"/" || path == target || path.startsWith(target + u'/');
        if (matches && target.size() > bestRoot.size()) {
            bestLetter = letter;
            bestRoot = target;
        }
    }
    QString rest = bestRoot.size() <= 1 ? path.mid(1) : path.mid(bestRoot.size() + 1);
    rest.replace(u'/', u'\\');
    return QString(bestLetter) + QStringLiteral(":\\") + rest;
}

} // namespace platform
