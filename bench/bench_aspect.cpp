// Setting 16:9 in the clips of a card, against a baseline that only reads the
// same bytes with read(2) into a 1 MiB buffer, in the same run.
//
//   bench_aspect [--clips N] [--clip-mib N] [--rounds N] [--dir PATH]
//
// (defaults: 8 clips of 256 MiB, 2 GiB in all, 5 rounds, in /dev/shm).
//
// Each clip is an MPEG-2 program stream as a camcorder writes it: 2048-byte
// packs of video and audio, a video sequence header saying 4:3 every 300 KiB,
// and bytes without long runs of zeros between them. Each round
// reads every clip once through the baseline and widens every clip once
// through strovan::WidenClip (open for writing, stream, patch, flush), in
// alternating order; between rounds the headers are set back to 4:3, untimed.
// The figure is the ratio of the two times in each round (paired: both see
// the same machine load). Memory: the growth of VmHWM over VmRSS during the
// widening, after /proc/self/clear_refs has reset the high-water mark.
#include "converter/Mpeg2Aspect.h"
#include "platform/FileUpdate.h"
#include "ProgramClips.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 MiB = qint64(1) << 20;
// A sequence header every 150 video packs: one in 300 KiB.
constexpr int HeaderEvery = 150;

long statusKiB(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long value = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            value = std::atol(line + n + 1);
    std::fclose(f);
    return value;
}

void resetPeak() {
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// Wall-clock and processor time (user + system) of a piece of work.
struct Times {
    double wall = 0;
    double cpu = 0;
};

double cpuNow() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename Work> Times timed(Work work) {
    const double cpu = cpuNow();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpuNow() - cpu};
}

} // namespace

int main(int argc, char** argv) {
    int clips = 8;
    qint64 clipMiB = 256;
    int rounds = 5;
    QString dir = QStringLiteral("/dev/shm");
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray option = argv[i];
        if (option == "--clips")
            clips = std::atoi(argv[i + 1]);
        else if (option == "--clip-mib")
            clipMiB = std::atoll(argv[i + 1]);
        else if (option == "--rounds")
            rounds = std::atoi(argv[i + 1]);
        else if (option == "--dir")
            dir = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir temp(dir + QStringLiteral("/bench_aspect-XXXXXX"));
    if (!temp.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(dir));
        return 1;
    }
    // A drive table of its own: X: is the card.
    const QString card = temp.path() + QStringLiteral("/card");
    QDir().mkpath(card);
    QDir().mkpath(temp.path() + QStringLiteral("/drives"));
    QFile::link(card, temp.path() + QStringLiteral("/drives/x:"));
    qputenv("PELMORA_DRIVES", QFile::encodeName(temp.path() + QStringLiteral("/drives")));

    std::printf("writing %d clips of %lld MiB in %s\n", clips, clipMiB, qPrintable(card));
    std::vector<std::vector<off_t>> shapes;
    for (int c = 0; c < clips; ++c)
        shapes.push_back(bench::writeProgramClip(
            QFile::encodeName(card + QStringLiteral("/MOV%1.MOD").arg(c, 3, 10, QChar(u'0')))
                .toStdString(),
            clipMiB * MiB, HeaderEvery, 0x9E3779B9u * unsigned(c + 1)));

    std::vector<char> buffer(static_cast<size_t>(MiB));
    auto baseline = [&] {
        for (int c = 0; c < clips; ++c) {
            const QByteArray path =
                QFile::encodeName(card + QStringLiteral("/MOV%1.MOD").arg(c, 3, 10, QChar(u'0')));
            const int fd = ::open(path.constData(), O_RDONLY);
            while (::read(fd, buffer.data(), buffer.size()) > 0) {
            }
            ::close(fd);
        }
    };
    qint64 widened = 0;
    long peakKiB = 0;
    auto widen = [&] {
        const long rssBefore = statusKiB("VmRSS");
        resetPeak();
        for (int c = 0; c < clips; ++c) {
            int error = 0;
            platform::UpdateFile clip = platform::UpdateFile::open(
                QStringLiteral("X:\\MOV%1.MOD").arg(c, 3, 10, QChar(u'0')), true, &error);
            const strovan::AspectFix fix = strovan::WidenClip(clip);
            if (!clip.isOpen() || !fix.done() || clip.flush() != 0) {
                std::fprintf(stderr, "widening clip %d failed (%d)\n", c, error + fix.error);
                std::exit(1);
            }
            widened += fix.headersWidened;
        }
        peakKiB = std::max(peakKiB, statusKiB("VmHWM") - rssBefore);
    };
    auto reset = [&] {
        for (int c = 0; c < clips; ++c) {
            const QByteArray path =
                QFile::encodeName(card + QStringLiteral("/MOV%1.MOD").arg(c, 3, 10, QChar(u'0')));
            const int fd = ::open(path.constData(), O_WRONLY);
            const char standard = 0x23;
            for (const off_t at : shapes[size_t(c)])
                if (::pwrite(fd, &standard, 1, at) != 1)
                    std::exit(1);
            ::close(fd);
        }
    };

    const double gib = double(clips) * double(clipMiB) / 1024.0;
    std::vector<double> ratios, cpuRatios;
    for (int r = 0; r < rounds; ++r) {
        widened = 0;
        Times read, fix;
        if (r % 2 == 0) {
            read = timed(baseline);
            fix = timed(widen);
        } else {
            fix = timed(widen);
            read = timed(baseline);
        }
        reset();
        ratios.push_back(fix.wall / read.wall);
        cpuRatios.push_back(fix.cpu / read.cpu);
        std::printf("round %d: read(2) %.3f s (%.2f GiB/s, cpu %.3f s), widen %.3f s "
                    "(%.2f GiB/s, cpu %.3f s), %lld headers, ratio %.3f (cpu %.3f)\n",
                    r + 1, read.wall, gib / read.wall, read.cpu, fix.wall, gib / fix.wall, fix.cpu,
                    widened, ratios.back(), cpuRatios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(cpuRatios.begin(), cpuRatios.end());
    std::printf("%.2f GiB in %d clips; widen / read(2), wall clock: median %.3f, min %.3f, "
                "max %.3f; processor time: median %.3f, min %.3f (target <= 1.10 for both); "
                "peak memory growth while widening: %ld KiB\n",
                gib, clips, ratios[ratios.size() / 2], ratios.front(), ratios.back(),
                cpuRatios[cpuRatios.size() / 2], cpuRatios.front(), peakKiB);
    return 0;
}
