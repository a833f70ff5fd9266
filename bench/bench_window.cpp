// The converter window's whole conversion against the walk alone, on the
// same card, in paired rounds.
//
//   bench_window [--folders N] [--clips N] [--groups N] [--rounds N] [--dir PATH]
//
// (defaults: 10 folders of 100 clips, clips of 64 groups of pictures (some
// 40 KB), 9 rounds, in /dev/shm when it can be written).
//
// The card is a camcorder's: each clip a small MPEG-2 program stream saying
// 4:3 with a valid .MOI index file holding its date, half of the indexes
// saying 16:9, and a .PGI per folder. Each round lays the card out afresh
// (untimed) and converts it once through the window (TForm1::BtActionClick:
// the plan, the run on its own thread with its progress, the end box answered
// at once, the lists refreshed) and once through strovan::ConvertFolder on the
// calling thread, alternating which goes first. The figure is the paired
// ratio window / walk.
#include "CardStreams.h"
#include "Paired.h"
#include "converter/Conversion.h"
#include "converter/Unit1.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    int folders = 10;
    int clips = 100;
    int groups = 64;
    int rounds = 9;
    QString dir;
};

void put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::exit(4);
}

void layOut(const QString& card, const Options& o, const QByteArray& stream) {
    QDir().mkpath(card);
    for (int f = 1; f <= o.folders; ++f) {
        const QString folder = card + QStringLiteral("/PRG%1").arg(f, 3, 16, QChar(u'0')).toUpper();
        QDir().mkpath(folder);
        for (int c = 1; c <= o.clips; ++c) {
            const QString clip =
                folder + QStringLiteral("/MOV%1").arg(c, 3, 16, QChar(u'0')).toUpper();
            put(clip + QStringLiteral(".MOD"), stream);
            const unsigned char shape = c % 2 ? 0x54 : 0x50; // 16:9 every other clip
            put(clip + QStringLiteral(".MOI"), MakeClipIndex(2006, 7, 14, 15, 30, 45250, shape));
        }
        put(folder + QStringLiteral("/PRG%1.PGI").arg(f, 3, 16, QChar(u'0')).toUpper(), "pgi");
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--folders")
            o.folders = std::atoi(argv[i + 1]);
        else if (key == "--clips")
            o.clips = std::atoi(argv[i + 1]);
        else if (key == "--groups")
            o.groups = std::atoi(argv[i + 1]);
        else if (key == "--rounds")
            o.rounds = std::atoi(argv[i + 1]);
        else if (key == "--dir")
            o.dir = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (o.dir.isEmpty())
        o.dir = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                    : QDir::tempPath();
    QTemporaryDir base(o.dir + QStringLiteral("/bench_window-XXXXXX"));
    if (!base.isValid())
        return 2;
    // A drive table of our own: X: is the temporary folder.
    const QString drives = base.path() + QStringLiteral("/drives");
    const QString root = base.path() + QStringLiteral("/x");
    QDir().mkpath(drives);
    QDir().mkpath(root + QStringLiteral("/Strovan"));
    QFile::link(root, drives + QStringLiteral("/x:"));
    qputenv("PELMORA_DRIVES", QFile::encodeName(drives));
    platform::resetWorkingFolders();
    platform::setCurrentFolder(QStringLiteral("X:\\Strovan"));
    toolkit::setMessageHook([](const toolkit::MessageRequest&) { return toolkit::Answer::Ok; });

    StreamShape shape;
    shape.groups = o.groups;
    const QByteArray stream = MakeProgramStream(shape).bytes;
    const QString card = root + QStringLiteral("/card");
    const QString winCard = QStringLiteral("X:\\card");
    std::printf("card: %d folders of %d clips of %lld bytes, half of them 16:9, in %s\n",
                o.folders, o.clips, static_cast<long long>(stream.size()), qPrintable(o.dir));

    strovan::TForm1 form(QStringLiteral("X:\\Strovan"));
    int renamed = 0;
    const bench::Paired p = bench::runPaired(
        o.rounds,
        [&] {
            layOut(card, o, stream);
            form.DLB->setDirectory(winCard);
            const bench::Sample s = bench::timed([&] { form.BtActionClick(); });
            QDir(card).removeRecursively();
            return s;
        },
        [&] {
            layOut(card, o, stream);
            strovan::ConversionReport report;
            const bench::Sample s =
                bench::timed([&] { report = strovan::ConvertFolder(winCard, {}, {}); });
            renamed = report.clipsRenamed;
            QDir(card).removeRecursively();
            return s;
        });
    if (renamed != o.folders * o.clips)
        std::fprintf(stderr, "the walk renamed %d clips\n", renamed);
    bench::report("converter window against its walk alone", "window (BtActionClick)",
                  "walk (ConvertFolder)", p, 1.2);
    return 0;
}
