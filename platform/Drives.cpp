#include "platform/Drives.h"

#include "platform/Errors.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

// The user's home folder as an absolute path: a relative HOME would make c:
// a link relative to the table, leading nowhere. The account's own entry
// stands in; empty when neither is absolute.
QString userHome() {
    const QString home = qEnvironmentVariable("HOME");
    if (home.startsWith(u'/'))
        return QDir::cleanPath(home);
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir[0] == '/')
        return QDir::cleanPath(QFile::decodeName(entry->pw_dir));
    return {};
}

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

bool tableDefines(QChar letter) {
    return hostEntryExists(linkPath(letter));
}

// True when a drive of the table already stands for that folder: the volume
// is reached through it and needs no letter of its own.
bool tableReaches(const QString& hostFolder) {
    const QString wanted = QFileInfo(hostFolder).canonicalFilePath();
    if (wanted.isEmpty())
        return false;
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QString link = linkPath(QChar(c));
        if (hostEntryExists(link) && QFileInfo(link).canonicalFilePath() == wanted)
            return true;
    }
    return false;
}

// Letters given to removable volumes, kept between listings so that a volume
// keeps its letter while it stays mounted. The walk may run off the window's
// thread, hence the lock.
struct RemovableLetters {
    std::mutex mutex;
    QList<RemovableDrive> drives;
};

RemovableLetters& removableLetters() {
    static RemovableLetters letters;
    return letters;
}

// True when a byte string holds only ASCII characters.
bool isAscii(const char* text, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

bool hasNonAscii(const char* text) {
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return true;
    return false;
}

// The name in hostFolder that equals name without regard to case (each
// character case-folded), or an empty string. When several do, the least in
// code-point order. Names holding a backslash cannot be written in a Windows
// path. One pass over the folder: an ASCII name, the usual case, is compared
// byte by byte without being decoded; only the others are decoded.
QString findIgnoringCase(const QString& hostFolder, const QString& name) {
    DIR* dir = ::opendir(QFile::encodeName(hostFolder).constData());
    if (!dir)
        return {};
    const QString folded = name.toCaseFolded();
    const QByteArray wanted = folded.toUtf8();
    // Folding keeps ASCII ASCII: a name whose folded form is not ASCII can
    // only be matched by a name that is not ASCII either.
    const bool asciiWanted = isAscii(wanted.constData(), size_t(wanted.size()));
    QByteArray best;
    while (const dirent* d = ::readdir(dir)) {
        const char* candidate = d->d_name;
        if (candidate[0] == '.' && (!candidate[1] || (candidate[1] == '.' && !candidate[2])))
            continue;
        bool match = false;
        if (asciiWanted) {
            qsizetype i = 0;
            for (; candidate[i]; ++i) {
                const auto c = static_cast<unsigned char>(candidate[i]);
                if (c >= 0x80 || i >= wanted.size())
                    break;
                const char lower = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : char(c);
                if (lower != wanted[i])
                    break;
            }
            if (!candidate[i])
                match = i == wanted.size();
            else if (static_cast<unsigned char>(candidate[i]) >= 0x80)
                match = QFile::decodeName(candidate).toCaseFolded() == folded;
        } else if (hasNonAscii(candidate)) {
            match = QFile::decodeName(candidate).toCaseFolded() == folded;
        }
        if (match && std::strchr(candidate, '\\') == nullptr &&
            (best.isNull() || std::strcmp(candidate, best.constData()) < 0))
            best = QByteArray(candidate);
    }
    ::closedir(dir);
    return best.isNull() ? QString() : QFile::decodeName(best);
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
    const QString full = absolutePath(winPath);
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

    // Most often only the last name differs (or is missing): its folder
    // exactly as written saves an lstat per folder on the way.
    QString host = base;
    qsizetype first = 0;
    if (parts.size() > 1) {
        const QString folder = base + u'/' + parts.mid(0, parts.size() - 1).join(u'/');
        if (hostEntryExists(folder)) {
            host = folder;
            first = parts.size() - 1;
        }
    }
    for (qsizetype i = first; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        const QString exact = host + u'/' + parts[i];
        if (exact != direct && hostEntryExists(exact)) { // direct is known missing
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
    // A relative XDG_CONFIG_HOME is to be ignored, as the desktop's rules say.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!config.startsWith(u'/'))
        config = userHome() + QStringLiteral("/.config");
    return config + QStringLiteral("/pelmora/drives");
}

QList<QChar> definedDrives() {
    QList<QChar> drives;
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QChar letter(c);
        if (c == 'Z' || tableDefines(letter))
            drives << letter;
    }
    for (const RemovableDrive& drive : removableDrives())
        drives << drive.letter;
    std::sort(drives.begin(), drives.end());
    return drives;
}

bool createDefaultDriveTable() {
    const QString folder = driveTableFolder();
    const QString home = userHome();
    if (home.isEmpty() || hostEntryExists(folder))
        return false;
    if (!QDir().mkpath(QFileInfo(folder).path()))
        return false;
    // mkdir, not mkpath: of two programs starting at once, one makes the table.
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0)
        return false;
    if (::symlink(QFile::encodeName(home).constData(),
                  QFile::encodeName(folder + QStringLiteral("/c:")).constData()) != 0)
        return false;
    return true;
}

QString userSettingsFolder() {
    return QFileInfo(driveTableFolder()).path();
}

bool tableDefinesDrive(QChar letter) {
    const QChar upper = letter.toUpper();
    return upper >= u'A' && upper <= u'Z' && tableDefines(upper);
}

int defineDrive(QChar letter, const QString& hostFolder) {
    const QChar upper = letter.toUpper();
    if (upper < u'A' || upper >= u'Z')
        return ErrInvalidDrive;
    const QString folder = driveTableFolder();
    if (!QDir().mkpath(folder))
        return ErrPathNotFound;
    // symlink never replaces: of two windows giving the letter, one wins.
    if (::symlink(QFile::encodeName(hostFolder).constData(),
                  QFile::encodeName(linkPath(upper)).constData()) != 0)
        return errno == EEXIST ? ErrAlreadyExists : winErrorFromErrno(errno);
    return NoError;
}

int removeDrive(QChar letter) {
    const QChar upper = letter.toUpper();
    if (upper < u'A' || upper > u'Z')
        return ErrInvalidDrive;
    const QByteArray link = QFile::encodeName(linkPath(upper));
    struct stat st;
    if (::lstat(link.constData(), &st) != 0)
        return ErrInvalidDrive;
    if (!S_ISLNK(st.st_mode))
        return ErrAccessDenied;
    // unlink removes the link itself, never what it leads to.
    return ::unlink(link.constData()) == 0 ? NoError : winErrorFromErrno(errno);
}

QList<RemovableDrive> removableDrives() {
    QList<MountPoint> mounts;
    for (const MountPoint& mount : mountedFileSystems())
        if (isRemovableMount(mount))
            mounts << mount;

    RemovableLetters& letters = removableLetters();
    const std::lock_guard lock(letters.mutex);
    QList<RemovableDrive> drives;
    // Volumes still mounted keep their letters, unless the table took one.
    for (const RemovableDrive& drive : std::as_const(letters.drives)) {
        const auto mount = std::find_if(mounts.cbegin(), mounts.cend(), [&](const MountPoint& m) {
            return m.rootPath == drive.mount.rootPath;
        });
        if (mount != mounts.cend() && !tableDefines(drive.letter))
            drives << RemovableDrive{drive.letter, *mount};
    }
    auto held = [&drives](QChar letter) {
        return std::any_of(drives.cbegin(), drives.cend(),
                           [letter](const RemovableDrive& d) { return d.letter == letter; });
    };
    for (const MountPoint& mount : std::as_const(mounts)) {
        const bool lettered =
            std::any_of(drives.cbegin(), drives.cend(), [&mount](const RemovableDrive& d) {
                return d.mount.rootPath == mount.rootPath;
            });
        if (lettered || tableReaches(mount.rootPath))
            continue;
        QChar free;
        for (char c = 'D'; c < 'Z' && free.isNull(); ++c)
            if (!tableDefines(QChar(c)) && !held(QChar(c)))
                free = QChar(c);
        if (free.isNull())
            break; // every letter taken: the volume stays reachable under z:
        drives << RemovableDrive{free, mount};
    }
    std::sort(drives.begin(), drives.end(),
              [](const RemovableDrive& a, const RemovableDrive& b) { return a.letter < b.letter; });
    letters.drives = drives;
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
    for (const RemovableDrive& drive : removableDrives())
        if (drive.letter == upper)
            return drive.mount.rootPath;
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
