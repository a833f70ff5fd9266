#include "launcher/AutorunInf.h"

#include "common/AutorunCodePage.h"
#include "common/SuiteLayout.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

namespace pelmora {

namespace wp = platform::winpath;

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
    int error = platform::NoError;
    const platform::Folder folder = platform::Folder::open(root, &error);
    if (!folder.isOpen())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrPathNotFound);
    WriteAutorunInf(folder, bytes);
}

void WriteAutorunInf(const platform::Folder& root, const QByteArray& bytes) {
    // The new file takes the old one's place (and its name as the disk has
    // it, "AUTORUN.INF" stays so) only once it is whole and on the disk.
    int error = platform::NoError;
    platform::Replacement out = root.replace(AutorunInfName, &error);
    if (!out.isOpen())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrAccessDenied);
    if (out.file().write(bytes.constData(), bytes.size(), &error) != bytes.size())
        throw platform::IoError(error != platform::NoError ? error : platform::ErrDiskFull);
    const int committed = out.commit();
    if (committed != platform::NoError)
        throw platform::IoError(committed);
}

} // namespace pelmora
