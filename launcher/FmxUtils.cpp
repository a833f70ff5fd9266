#include "launcher/FmxUtils.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <vector>

namespace pelmora {

namespace {

// Removes a destination that was created but not completely written, then
// raises error: a half copy must never pass for a good one.
[[noreturn]] void abandonCopy(platform::File& destination, const QString& path, int ioCode) {
    destination.close();
    platform::deleteFile(path);
    throw platform::IoError(ioCode);
}

} // namespace

void CopyOneFile(const QString& source, const QString& destination) {
    namespace wp = platform::winpath;
    QString target = platform::absolutePath(destination);
    if (HasAllAttributes(target, platform::AttrDirectory))
        target = wp::withTrailingBackslash(target) + wp::fileName(source);

    std::vector<char> buffer(static_cast<size_t>(CopyChunkSize));
    int error = platform::NoError;
    platform::File in = platform::File::openRead(source, &error);
    if (!in.isOpen())
        throw FileOpenError(QStringLiteral("Impossible d'ouvrir le fichier %1").arg(source));
    // The source holds a shared lock, so creating it again through any name
    // (itself, a link, another drive letter) is refused and it stays intact.
    platform::File out = platform::File::create(target, &error);
    if (!out.isOpen())
        throw FileCreateError(QStringLiteral("Impossible de créer le fichier %1").arg(target));

    for (;;) {
        const qint64 got = in.read(buffer.data(), CopyChunkSize, &error);
        if (got < 0)
            abandonCopy(out, target, 100);
        if (got > 0 && out.write(buffer.data(), got, &error) != got)
            abandonCopy(out, target, 101);
        if (got < CopyChunkSize)
            break;
    }
    if (out.close() != platform::NoError) {
        platform::deleteFile(target);
        throw platform::IoError(101);
    }
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
