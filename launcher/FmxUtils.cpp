#include "launcher/FmxUtils.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <vector>

namespace pelmora {

namespace {

namespace wp = platform::winpath;

// Bytes the system copies in one step, without passing them through the program.
constexpr qint64 SystemCopyStep = 16 * 1024 * 1024;

// Copies in to out from their positions to in's end. Only a read of nothing
// ends the file: a network source may return less than asked at any time.
void copyBytes(platform::File& in, platform::File& out) {
    int error = platform::NoError;
    bool inSystem = true;
    std::vector<char> buffer;
    for (;;) {
        if (inSystem) {
            const qint64 copied = in.copyTo(out, SystemCopyStep, &error);
            if (copied > 0)
                continue;
            if (copied < 0 && error != platform::ErrNotSupported)
                throw platform::IoError(error == platform::ErrDiskFull ? 101 : 100);
            // The end, or files the system cannot copy itself: reading tells.
            inSystem = false;
            buffer.resize(size_t(CopyChunkSize));
        }
        const qint64 got = in.read(buffer.data(), CopyChunkSize, &error);
        if (got < 0)
            throw platform::IoError(100);
        if (got == 0)
            return;
        if (out.write(buffer.data(), got, &error) != got)
            throw platform::IoError(101);
    }
}

} // namespace

void CopyIntoFolder(const QString& source, const platform::Folder& folder,
                    const QString& destination) {
    int error = platform::NoError;
    platform::File in = platform::File::openRead(source, &error);
    if (!in.isOpen())
        throw FileOpenError(QStringLiteral("Impossible d'ouvrir le fichier %1").arg(source));
    if (!in.isRegular())
        throw FileOpenError(
            QStringLiteral("%1 n'est pas un fichier ordinaire : il ne peut pas être copié")
                .arg(source));
    // The source holds a shared lock, so replacing it through any name (itself,
    // a link, another drive letter) is refused and it stays intact.
    platform::Replacement out = folder.replace(wp::fileName(destination), &error);
    if (!out.isOpen())
        throw FileCreateError(QStringLiteral("Impossible de créer le fichier %1").arg(destination));
    copyBytes(in, out.file()); // on failure, out goes without a trace
    if (out.commit() != platform::NoError)
        throw platform::IoError(101);
}

void CopyOneFile(const QString& source, const QString& destination) {
    QString target = platform::absolutePath(destination);
    if (HasAllAttributes(target, platform::AttrDirectory))
        target = wp::withTrailingBackslash(target) + wp::fileName(source);
    // A missing folder fails as the creation would, once the source is open.
    const platform::Folder folder = platform::Folder::open(wp::folderPart(target));
    CopyIntoFolder(source, folder, target);
}

bool HasAllAttributes(const QString& path, std::uint16_t attributes) {
    std::uint32_t present = platform::fileAttributes(path);
    if (present == platform::InvalidAttributes)
        present = 0;
    return (present & attributes) == attributes;
}

int LaunchInFolder(const QString& fileName, const QString& parameters, const QString& folder,
                   int showCommand) {
    // The shell tells a start by a value above 32 and a failure by its code:
    // the one place where the platform's 0 for success becomes that value.
    constexpr int ShellStarted = 42;
    const int code = platform::shellExecute(fileName, parameters, folder, showCommand);
    return code == platform::NoError ? ShellStarted : code;
}

void ClearReadOnlyHidden(const QString& path) {
    const std::uint32_t attributes = platform::fileAttributes(path);
    if (attributes == platform::InvalidAttributes)
        return;
    platform::setFileAttributes(path, (attributes & 0xFFFFu) & 0xFFFCu);
}

} // namespace pelmora
