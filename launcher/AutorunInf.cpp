#include "launcher/AutorunInf.h"

#include "common/AutorunCodePage.h"
#include "common/SuiteLayout.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

#include <QFileInfo>

namespace pelmora {

namespace {

namespace wp = platform::winpath;

// A name beside the target that nothing uses yet, not even a dangling link.
QString freeName(const QString& folder) {
    for (int i = 0; i < 1000; ++i) {
        const QString candidate = folder + QStringLiteral("~Autorun%1.tmp").arg(i);
        int error = platform::NoError;
        const QList<platform::DirEntry> found = platform::listFolder(candidate, &error);
        if (error != platform::NoError)
            throw platform::IoError(error);
        if (found.isEmpty())
            return candidate;
    }
    throw platform::IoError(platform::ErrFileExists);
}

// Creates path with bytes, checked to the last byte; a file that could not be
// completely written is removed.
void writeNewFile(const QString& path, const QByteArray& bytes) {
    int error = platform::NoError;
    platform::File file = platform::File::create(path, &error);
    if (!file.isOpen())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrAccessDenied);
    if (file.write(bytes.constData(), bytes.size(), &error) != bytes.size()) {
        file.close();
        platform::deleteFile(path);
        throw platform::IoError(error != platform::NoError ? error : platform::ErrDiskFull);
    }
    const int closed = file.close();
    if (closed != platform::NoError) {
        platform::deleteFile(path);
        throw platform::IoError(closed);
    }
}

} // namespace

QStringList AutorunLines(const QString& iconPath, const QString& startPage) {
    return {
        QStringLiteral("[Autorun]"),
        QStringLiteral("OPEN=") + suite::name(suite::AutorunProgram),
        QStringLiteral("ICON=") + wp::fileName(iconPath),
        QStringLiteral("HTM=") + startPage,
    };
}

QByteArray AutorunBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        for (const QChar c : line)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                throw AutorunEncodingError(
                    QStringLiteral("Caractère de contrôle dans « %1 »").arg(line));
        // Readers drop blanks round a value and quotes round the whole of it.
        const qsizetype equals = line.indexOf(u'=');
        const QStringView value = equals < 0 ? QStringView() : QStringView(line).sliced(equals + 1);
        if (!value.isEmpty() &&
            (value.front() == u' ' || value.back() == u' ' ||
             (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
              value.back() == value.front())))
            throw AutorunEncodingError(
                QStringLiteral("« %1 » serait lu autrement sur le disque").arg(line));
        for (const QChar c : line) {
            const int byte = autorun::byteOf(c.unicode());
            if (byte < 0)
                throw AutorunEncodingError(
                    QStringLiteral("« %1 » ne peut pas être écrit dans Autorun.inf").arg(line));
            bytes += char(byte);
        }
        bytes += "\r\n";
    }
    return bytes;
}

void WriteAutorunInf(const QString& root, const QByteArray& bytes) {
    const QString folder = wp::withTrailingBackslash(root);
    const QString target = folder + AutorunInfName;
    const std::uint32_t existing = platform::fileAttributes(target);
    const bool replacing = existing != platform::InvalidAttributes;
    // Protected by its owner: never replaced, and nothing else is written.
    if (replacing && (existing & (platform::AttrReadOnly | platform::AttrHidden |
                                  platform::AttrSystem | platform::AttrDirectory)))
        throw platform::IoError(platform::ErrAccessDenied);

    const QString written = freeName(folder);
    writeNewFile(written, bytes);
    if (!replacing) {
        const int moved = platform::moveFile(written, target);
        if (moved != platform::NoError) {
            platform::deleteFile(written);
            throw platform::IoError(moved);
        }
        return;
    }

    // The name as the disk has it ("AUTORUN.INF" stays so), and the previous
    // file kept aside until the new one is in place.
    const QString kept = folder + QFileInfo(platform::toHostPath(target)).fileName();
    const QString previous = freeName(folder);
    int moved = platform::moveFile(kept, previous);
    if (moved != platform::NoError) {
        platform::deleteFile(written);
        throw platform::IoError(moved);
    }
    moved = platform::moveFile(written, kept);
    if (moved != platform::NoError) {
        platform::moveFile(previous, kept);
        platform::deleteFile(written);
        throw platform::IoError(moved);
    }
    // The old file must not stay at the root to be burnt with the rest.
    const int removed = platform::deleteFile(previous);
    if (removed != platform::NoError)
        throw platform::IoError(removed);
}

} // namespace pelmora
