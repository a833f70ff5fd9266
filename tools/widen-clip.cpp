// Runs the converter's 16:9 fix on the files named, as the conversion does
// for a clip whose index file says 16:9, and prints what it did:
//
//   widen_clip FILE...   ->   FILE <headers found> <headers widened> <error>
//
// The reference check against an outside encoder (tools/ffmpeg-aspect-check.sh)
// drives it; the exit status is 1 when a file could not be fixed.
#include "converter/Mpeg2Aspect.h"
#include "platform/FileUpdate.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv) {
    // Drive z: stands for the host's root unless a drive table says otherwise.
    qputenv("PELMORA_DRIVES", "/nonexistent-pelmora-drives");
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const QString host = QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
        const QString path =
            QStringLiteral("Z:") + QDir::toNativeSeparators(host).replace(u'/', u'\\');
        int error = 0;
        platform::UpdateFile clip = platform::UpdateFile::open(path, true, &error);
        strovan::AspectFix fix;
        if (clip.isOpen()) {
            fix = strovan::WidenClip(clip);
            if (fix.done())
                fix.error = clip.flush();
        } else {
            fix.error = error;
        }
        std::printf("%s %lld %lld %d\n", argv[i], fix.headersFound, fix.headersWidened, fix.error);
        status |= fix.error != 0 ? 1 : 0;
    }
    return status;
}
