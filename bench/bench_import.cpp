// Importing a card, from one folder to another on the same disk, against
// `cp -r` of the same folders followed by `cmp` of each file.
//
//   bench_import [--clips N] [--clip-mib N] [--rounds N] [--dir PATH]
//
// (defaults: 16 clips of 128 MiB, 2 GiB in all, in 4 recording folders with
// their index files, 5 rounds, in a folder under /var/tmp: a disk, not memory).
//
// Each round imports the card once through strovan::PlanImport and
// strovan::ImportCard (copy to a temporary name, flush to the disk, compare
// with the card byte for byte, rename, record) and once through the shell's
// `cp -r card dest && find -type f -exec cmp` in alternating order; both
// destinations are deleted between runs, untimed, and the card stays in the
// page cache for both. The import flushes each copy to the disk before naming
// it, which cp does not: the figure includes that price.
#include "converter/CardImport.h"

#include "Paired.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr qint64 MiB = qint64(1) << 20;

struct Options {
    int clips = 16;
    qint64 clipMiB = 128;
    int rounds = 5;
    QString dir = QStringLiteral("/var/tmp");
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--clips")
            o.clips = std::atoi(argv[i + 1]);
        else if (key == "--clip-mib")
            o.clipMiB = std::atoll(argv[i + 1]);
        else if (key == "--rounds")
            o.rounds = std::atoi(argv[i + 1]);
        else if (key == "--dir")
            o.dir = QString::fromLocal8Bit(argv[i + 1]);
    }
    return o;
}

// Bytes that do not compress or repeat, as a clip's.
void writeClip(const QString& path, qint64 size, std::mt19937_64& random) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(2);
    QByteArray block(int(MiB), '\0');
    for (qint64 done = 0; done < size; done += MiB) {
        auto* words = reinterpret_cast<quint64*>(block.data());
        for (qint64 i = 0; i < MiB / 8; ++i)
            words[i] = random();
        file.write(block.constData(), std::min(MiB, size - done));
    }
}

int shell(const QString& command) {
    return std::system(command.toLocal8Bit().constData());
}

QString quoted(const QString& path) {
    return u'\'' + QString(path).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    QTemporaryDir root(o.dir + QStringLiteral("/bench_import-XXXXXX"));
    if (!root.isValid())
        return 2;
    // c: is the temporary folder: the card and both destinations are on it.
    QDir().mkpath(root.path() + QStringLiteral("/drives"));
    QFile::link(root.path(), root.path() + QStringLiteral("/drives/c:"));
    qputenv("PELMORA_DRIVES", QFile::encodeName(root.path() + QStringLiteral("/drives")));
    const QString card = root.path() + QStringLiteral("/card");
    std::mt19937_64 random(42);
    for (int i = 0; i < o.clips; ++i) {
        const QString folder = card + QStringLiteral("/PRG%1").arg(i % 4 + 1, 3, 10, QChar(u'0'));
        QDir().mkpath(folder);
        const QString stem = folder + QStringLiteral("/MOV%1").arg(i + 1, 3, 16, QChar(u'0'));
        writeClip(stem + QStringLiteral(".MOD"), o.clipMiB * MiB, random);
        writeClip(stem + QStringLiteral(".MOI"), 512, random);
    }
    std::printf("card: %d clips of %lld MiB in %s\n", o.clips, static_cast<long long>(o.clipMiB),
                qPrintable(card));
    std::fflush(stdout);
    shell(QStringLiteral("cat ") + quoted(card) + QStringLiteral("/*/* > /dev/null"));

    const QString videos = root.path() + QStringLiteral("/videos");
    const QString copied = root.path() + QStringLiteral("/copied");
    bool ok = true;
    const bench::Paired p = bench::runPaired(
        o.rounds,
        [&] {
            QDir().mkpath(videos);
            const bench::Sample s = bench::timed([&] {
                const strovan::ImportPlan plan =
                    strovan::PlanImport(QStringLiteral("C:\\card"), QStringLiteral("C:\\videos"));
                const strovan::ImportReport report = strovan::ImportCard(plan);
                ok = ok && report.complete() && report.copied == 2 * o.clips;
            });
            QDir(videos).removeRecursively();
            return s;
        },
        [&] {
            const bench::Sample s = bench::timed([&] {
                const QString command =
                    QStringLiteral("cp -r %1 %2 && cd %1 && find . -type f -exec cmp {} %2/{} \\;")
                        .arg(quoted(card), quoted(copied));
                ok = ok && shell(command) == 0;
            });
            QDir(copied).removeRecursively();
            return s;
        });
    bench::report("import of a card (copy, flush, compare, name)", "PlanImport + ImportCard",
                  "cp -r + cmp of each file", p, 1.2);
    if (!ok)
        std::printf("  a copy FAILED\n");
    return ok ? 0 : 1;
}
