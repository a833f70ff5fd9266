#include "platform/WinPath.h"

#include <QStringList>

namespace platform::winpath {

bool isDriveRoot(const QString& path) {
    return path.size() == 3 && path[0].isLetter() && path[1] == u':' && path[2] == u'\\';
}

QChar driveLetter(const QString& path) {
    if (path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128)
        return path[0].toUpper();
    return {};
}

static qsizetype lastSeparator(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (path[i] == u'\\' || path[i] == u':')
            return i;
    return -1;
}

QString folderPart(const QString& path) {
    return path.left(lastSeparator(path) + 1);
}

QString fileName(const QString& path) {
    return path.mid(lastSeparator(path) + 1);
}

QString withTrailingBackslash(const QString& path) {
    return path.endsWith(u'\\') ? path : path + u'\\';
}

QString withoutTrailingBackslash(const QString& path) {
    QString p = path;
    while (p.endsWith(u'\\') && !isDriveRoot(p) && p.size() > 1)
        p.chop(1);
    return p;
}

static bool isSeparator(QChar c) {
    // Windows takes "/" for a separator as well as "\\".
    return c == u'\\' || c == u'/';
}

QStringList components(const QString& path) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i]))
            continue;
        if (i > start)
            parts << path.mid(start, i - start);
        start = i + 1;
    }
    return parts;
}

QString normalize(const QString& absolutePath) {
    const QChar drive = driveLetter(absolutePath);
    if (drive.isNull())
        return absolutePath;
    QStringList parts;
    for (const QString& part : components(absolutePath.mid(2))) {
        if (part == u".")
            continue;
        // ".." stops at the root, as Windows holds it there.
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return QString(drive) + QStringLiteral(":\\") + parts.join(u'\\');
}

QString expand(const QString& path, const QString& current,
               const std::function<QString(QChar)>& driveCurrent) {
    const QChar drive = driveLetter(path);
    if (!drive.isNull()) {
        if (path.size() > 2 && isSeparator(path[2]))
            return normalize(path);
        // "X:rest" is relative to drive X's current folder.
        return normalize(withTrailingBackslash(driveCurrent(drive)) + path.mid(2));
    }
    if (!path.isEmpty() && isSeparator(path[0]))
        return normalize(current.left(2) + path);
    return normalize(withTrailingBackslash(current) + path);
}

} // namespace platform::winpath
