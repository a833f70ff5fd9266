// Windows path translation: whatever the path, its normal form has no dots,
// no slashes and no empty names, normalising it again changes nothing, and
// its host form lies inside its drive's folder.
#include "FuzzCheck.h"
#include "platform/Drives.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QTemporaryDir& tree() {
    static QTemporaryDir dir;
    return dir;
}

const QString Prefixes[] = {QStringLiteral("X:\\"), QStringLiteral("X:"),
                            QStringLiteral("\\"),   QString(),
                            QStringLiteral("c:/"),  QStringLiteral("Z:\\")};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Drives X: and C: side by side, as the folders a path might climb into.
    const QString root = tree().path();
    for (const char* folder : {"/drives", "/disk_x/a/b", "/disk_x/A/lien", "/disk_c/Pelmora"})
        QDir().mkpath(root + QString::fromLatin1(folder));
    QFile::link(root + "/disk_x", root + "/drives/x:");
    QFile::link(root + "/disk_c", root + "/drives/c:");
    QFile(root + "/disk_c/precious.txt").open(QIODevice::WriteOnly);
    qputenv("PELMORA_DRIVES", QFile::encodeName(root + "/drives"));
    platform::setCurrentFolder(QStringLiteral("X:\\a\\b"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QString path =
        Prefixes[data[0] % std::size(Prefixes)] +
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    namespace wp = platform::winpath;
    const QString full = platform::absolutePath(path);
    const QChar letter = wp::driveLetter(full);
    if (letter.isNull())
        return 0;
    FUZZ_CHECK(full.mid(2, 1) == QStringLiteral("\\"));
    FUZZ_CHECK(!full.contains(u'/'));
    const QStringList names = full.mid(3).split(u'\\');
    if (full.size() > 3)
        for (const QString& name : names)
            FUZZ_CHECK(!name.isEmpty() && name != u"." && name != u"..");
    FUZZ_CHECK(platform::absolutePath(full) == full);

    QString root = platform::driveHostRoot(letter);
    if (root.isEmpty())
        return 0;
    if (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    for (QString host : {platform::toHostPath(path), platform::toHostPathExactName(path)}) {
        host = QDir::cleanPath(host); // "/.." climbs on the host
        FUZZ_CHECK(host.isEmpty() || root == u"/" || host == root || host.startsWith(root + u'/'));
    }
    return 0;
}
