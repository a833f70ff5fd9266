// The conversion walk on a card of 10,000 clips, against a baseline that does
// the same renames and deletions with direct system calls, in the same run.
//
//   bench_conversion [--folders N] [--clips N] [--rounds N] [--dir PATH]
//
// (defaults: 100 folders of 100 clips, 9 rounds, in /dev/shm when it can be
// written, else the temporary folder).
//
// Each round builds two identical cards (N folders PRGxxx of N clips
// MOVxxx.MOD, each with its .MOI, and a PRGxxx.PGI per folder), flushes them
// to the disk, then converts one through strovan::ConvertFolder and the other
// through the baseline, each in a forked child, alternating which goes first.
// The baseline does what the walk does with the fewest system calls: it opens
// each folder once, lists it with readdir and issues renameat2
// (RENAME_NOREPLACE) and unlinkat relative to that folder, as the walk does;
// no sorting, no stat, no Windows paths. Each round gives the ratio
// walk / baseline; the summary is the minimum and median of those paired
// ratios. The walk's peak memory is its heap growth as malloc counts it
// (mallinfo2, with the heap never trimmed during the run).
#include "converter/Conversion.h"
#include "Paired.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Measure {
    double seconds = 0;    // wall-clock time
    double cpuSeconds = 0; // user + system time of the child, less sensitive to load
    long heapKiB = 0;      // heap growth during the run (its peak: never trimmed)
};

// Runs work in a forked child; its time and memory come back through a pipe.
Measure inChild(const std::function<void()>& work) {
    int fds[2];
    if (::pipe(fds) != 0)
        std::exit(2);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        bench::keepHeap();
        const size_t before = bench::heapBytes();
        struct rusage u0 {
        }, u1{};
        ::getrusage(RUSAGE_SELF, &u0);
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        ::getrusage(RUSAGE_SELF, &u1);
        auto cpu = [](const struct rusage& u) {
            return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                   double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
        };
        Measure m;
        m.seconds = std::chrono::duration<double>(t1 - t0).count();
        m.cpuSeconds = cpu(u1) - cpu(u0);
        m.heapKiB = long((bench::heapBytes() - before) / 1024);
        (void)!::write(fds[1], &m, sizeof m);
        ::_exit(0);
    }
    ::close(fds[1]);
    Measure m;
    if (::read(fds[0], &m, sizeof m) != ssize_t(sizeof m))
        std::exit(3);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return m;
}

void writeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, path.data(), std::min<size_t>(path.size(), 64)) < 0)
        std::exit(4);
    ::close(fd);
}

std::string hex3(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%03X", n);
    return text;
}

void buildCard(const std::string& card, int folders, int clips) {
    ::mkdir(card.c_str(), 0755);
    for (int f = 1; f <= folders; ++f) {
        const std::string folder = card + "/PRG" + hex3(f);
        ::mkdir(folder.c_str(), 0755);
        for (int c = 1; c <= clips; ++c) {
            const std::string clip = folder + "/MOV" + hex3(c);
            writeFile(clip + ".MOD");
            writeFile(clip + ".MOI");
        }
        writeFile(folder + "/PRG" + hex3(f) + ".PGI");
    }
}

// The same name mapping on bytes, for names the card is made of.
std::string mapped(const std::string& name, bool clip) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
    };
    const int n = digit(name[3]) * 256 + digit(name[4]) * 16 + digit(name[5]);
    char text[16];
    std::snprintf(text, sizeof text, "%.3s%04d%s", name.c_str(), n, clip ? ".MPG" : "");
    return text;
}

bool endsWith(const char* name, const char* tail) {
    const size_t a = std::strlen(name), b = std::strlen(tail);
    return a >= b && std::strcmp(name + a - b, tail) == 0;
}

// Names of the folder open as fd (which stays open), kinds from readdir.
template <typename Take> void readNames(int fd, Take take) {
    DIR* dir = ::fdopendir(::dup(fd));
    if (!dir)
        return;
    ::rewinddir(dir);
    while (const dirent* d = ::readdir(dir))
        take(d);
    ::closedir(dir);
}

void baselineFolder(int folder) {
    std::vector<std::string> clips, indexes;
    readNames(folder, [&](const dirent* d) {
        if (endsWith(d->d_name, ".MOD"))
            clips.emplace_back(d->d_name);
        else if (endsWith(d->d_name, ".MOI") || endsWith(d->d_name, ".PGI"))
            indexes.emplace_back(d->d_name);
    });
    for (const std::string& name : clips)
        ::renameat2(folder, name.c_str(), folder, mapped(name, true).c_str(), RENAME_NOREPLACE);
    for (const std::string& name : indexes)
        ::unlinkat(folder, name.c_str(), 0);
}

void baseline(const std::string& card) {
    const int top = ::open(card.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return;
    std::vector<std::string> folders;
    readNames(top, [&](const dirent* d) {
        if (d->d_type == DT_DIR && std::strncmp(d->d_name, "PRG", 3) == 0)
            folders.emplace_back(d->d_name);
    });
    for (const std::string& name : folders) {
        const std::string to = mapped(name, false);
        ::renameat2(top, name.c_str(), top, to.c_str(), RENAME_NOREPLACE);
        const int folder = ::openat(top, to.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            baselineFolder(folder);
            ::close(folder);
        }
    }
    ::close(top);
}

// Sorted relative names below root, to check that both ways did the same.
void listTree(const std::string& root, const std::string& relative, std::vector<std::string>* out) {
    DIR* dir = ::opendir((root + relative).c_str());
    if (!dir)
        return;
    while (const dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        const std::string path = relative + '/' + d->d_name;
        out->push_back(path);
        if (d->d_type == DT_DIR)
            listTree(root, path, out);
    }
    ::closedir(dir);
}

std::vector<std::string> tree(const std::string& root) {
    std::vector<std::string> names;
    listTree(root, std::string(), &names);
    std::sort(names.begin(), names.end());
    return names;
}

int argument(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    const int folders = argument(argc, argv, "--folders", 100);
    const int clips = argument(argc, argv, "--clips", 100);
    const int rounds = std::max(1, argument(argc, argv, "--rounds", 9));
    // RAM-backed by default: on a disk the same run takes from one to thirty
    // seconds here, as the journal and the other writers please, which says
    // nothing about the walk. --dir measures a disk all the same.
    QString base = QDir::tempPath();
    if (::access("/dev/shm", W_OK) == 0)
        base = QStringLiteral("/dev/shm");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--dir") == 0)
            base = QString::fromLocal8Bit(argv[i + 1]);

    QTemporaryDir tmp(base + QStringLiteral("/bench_conversion-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder in %s\n", qPrintable(base));
        return 1;
    }
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    ::mkdir((root + "/drives").c_str(), 0755);
    ::mkdir((root + "/disk_x").c_str(), 0755);
    ::mkdir((root + "/base").c_str(), 0755);
    if (::symlink((root + "/disk_x").c_str(), (root + "/drives/x:").c_str()) != 0)
        return 1;
    ::setenv("PELMORA_DRIVES", (root + "/drives").c_str(), 1);

    std::printf("card: %d folders x %d clips (+ .MOI each, + .PGI per folder) = %d clips, "
                "%d entries; %d rounds in %s\n",
                folders, clips, folders * clips, folders * (2 * clips + 1), rounds, root.c_str());
    std::vector<Measure> walks, baselines;
    for (int round = 0; round < rounds; ++round) {
        const std::string card = root + "/disk_x/card", other = root + "/base/card";
        buildCard(card, folders, clips);
        buildCard(other, folders, clips);
        ::sync();
        auto walk = [] { strovan::ConvertFolder(QStringLiteral("X:\\card"), {}); };
        auto direct = [&other] { baseline(other); };
        // Alternate which goes first, so that neither always finds the other's
        // leftovers in the caches.
        Measure w, b;
        if (round % 2 == 0) {
            w = inChild(walk);
            b = inChild(direct);
        } else {
            b = inChild(direct);
            w = inChild(walk);
        }
        const std::vector<std::string> walked = tree(card), expected = tree(other);
        if (walked != expected || walked.size() != size_t(folders * (clips + 1))) {
            std::fprintf(stderr, "round %d: the two cards differ (%zu and %zu entries)\n", round,
                         walked.size(), expected.size());
            return 1;
        }
        std::printf("round %d: walk %.1f ms (cpu %.1f), baseline %.1f ms (cpu %.1f), ratio %.3f "
                    "(cpu %.3f), walk heap +%ld KiB\n",
                    round + 1, w.seconds * 1e3, w.cpuSeconds * 1e3, b.seconds * 1e3,
                    b.cpuSeconds * 1e3, w.seconds / b.seconds, w.cpuSeconds / b.cpuSeconds,
                    w.heapKiB);
        walks.push_back(w);
        baselines.push_back(b);
        QDir(QString::fromStdString(card)).removeRecursively();
        QDir(QString::fromStdString(other)).removeRecursively();
    }
    bench::Paired paired;
    long heap = 0, baseHeap = 0;
    for (size_t i = 0; i < walks.size(); ++i) {
        paired.measured.push_back(walks[i].seconds);
        paired.baseline.push_back(baselines[i].seconds);
        paired.measuredCpu.push_back(walks[i].cpuSeconds);
        paired.baselineCpu.push_back(baselines[i].cpuSeconds);
        heap = std::max(heap, walks[i].heapKiB);
        baseHeap = std::max(baseHeap, baselines[i].heapKiB);
    }
    bench::report("conversion walk", "walk (strovan::ConvertFolder)",
                  "folder-relative system calls", paired, 1.1);
    std::printf("walk peak heap: +%ld KiB (baseline +%ld KiB)\n", heap, baseHeap);
    return 0;
}
