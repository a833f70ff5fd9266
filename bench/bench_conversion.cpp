// The conversion walk on a realistic card, against a minimal C walk that does
// the same work with bare system calls, in the same run.
//
//   bench_conversion [--folders N] [--clips N] [--clip-kib N] [--rounds N]
//                    [--dir PATH] [--disk-dir PATH] [--large N] [--large-mib N]
//                    [--only small|large] [--flush folder|clip]
//
// (defaults: 20 folders of 50 clips of 32 KiB, 9 rounds, in /dev/shm and in
// /var/tmp; then 3 clips of 256 MiB, all 16:9, in /dev/shm; the baseline
// flushing as the walk does, at each folder's end).
//
// The card is what a camcorder writes: recording folders PRGxxx of clips
// MOVxxx.MOD, each an MPEG-2 program stream of 2048-byte packs (video, and
// audio every fifth pack) with a sequence header saying 4:3 every few packs,
// each with its "V6" index file MOVxxx.MOI holding the recording's date and
// the picture's shape (every second clip 16:9), and a PRGxxx.PGI per folder.
// So every clip is opened, dated and flushed, and half of them are read
// through and patched, as on a real card.
//
// The baseline does the same work with the fewest system calls: openat,
// getdents64, renameat2 (RENAME_NOREPLACE) and unlinkat relative to each
// folder, the index file's head read with pread, the clip opened with
// openat and locked as the walk locks it, read through with pread in the
// walk's buffer size and its 4:3 headers found by a plain byte search and
// patched with pwrite, the date set with futimens, and the same flushes
// (flushPending below). No sorting, no Windows paths, no program-stream
// parsing.
//
// Each round runs the walk and the baseline, each in a forked child, in
// alternating order, on the same card put back as it was between the two
// (untimed, and flushed to the disk); both results must agree. The summary
// per row is the min and median of the paired per-round ratios, wall clock
// and processor time.
#include "converter/Conversion.h"
#include "Paired.h"
#include "ProgramClips.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using bench::Standard;
constexpr unsigned char Wide = 0x33;    // 16:9
constexpr size_t FixBuffer = 128 << 10; // WidenClip's buffer size

struct Measure {
    double seconds = 0;    // wall-clock time
    double cpuSeconds = 0; // user + system time of the child, less sensitive to load
};

// Runs work in a forked child; its time and memory come back through a pipe.
Measure inChild(const std::function<void()>& work) {
    int fds[2];
    if (::pipe(fds) != 0)
        std::exit(2);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const bench::Sample s = bench::timed(work);
        Measure m;
        m.seconds = s.wall;
        m.cpuSeconds = s.cpu;
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

std::string hex3(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%03X", n);
    return text;
}

std::string dec4(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", n);
    return text;
}

// ---- The card ---------------------------------------------------------------

struct Clip {
    std::string folder; // PRGxxx
    std::string name;   // MOVxxx
    bool wide = false;
    std::vector<off_t> shapes; // offsets of the sequence headers' shape bytes
};

// The camcorder's index file: "V6", its size, the recording's start (local
// time), the duration, the shape byte at 0x80.
void writeIndex(const std::string& path, int clip, bool wide) {
    unsigned char b[0x100] = {'V',  '6',  0x00, 0x00,
                              0x01, 0x00, 0x07, 0xD6, // 2006
                              7,    14,   15,   static_cast<unsigned char>(clip % 60),
                              0xB0, 0xE2};
    b[0x80] = wide ? 0x54 : 0x50;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bench::writeAll(fd, b, sizeof b);
    ::close(fd);
}

struct Card {
    std::string root; // host folder holding the recording folders
    std::vector<Clip> clips;
    int folders = 0;
};

Card buildCard(const std::string& root, int folders, int clips, long long clipBytes,
               int headerEvery, bool allWide) {
    Card card;
    card.root = root;
    card.folders = folders;
    ::mkdir(root.c_str(), 0755);
    for (int f = 1; f <= folders; ++f) {
        const std::string folder = "PRG" + hex3(f);
        ::mkdir((root + '/' + folder).c_str(), 0755);
        for (int c = 1; c <= clips; ++c) {
            Clip clip;
            clip.folder = folder;
            clip.name = "MOV" + hex3(c);
            clip.wide = allWide || c % 2 == 0;
            clip.shapes =
                bench::writeProgramClip(root + '/' + folder + '/' + clip.name + ".MOD", clipBytes,
                                        headerEvery, 0x9E3779B9u * unsigned(f * 1000 + c));
            card.clips.push_back(clip);
        }
    }
    return card;
}

// Puts the card back as the camcorder left it: names, index files, shapes.
void restoreCard(const Card& card) {
    for (int f = 1; f <= card.folders; ++f)
        ::rename((card.root + "/PRG" + dec4(f)).c_str(), (card.root + "/PRG" + hex3(f)).c_str());
    for (const Clip& clip : card.clips) {
        const std::string folder = card.root + '/' + clip.folder + '/';
        const int c = int(std::strtol(clip.name.c_str() + 3, nullptr, 16));
        const std::string mod = folder + clip.name + ".MOD";
        ::rename((folder + "MOV" + dec4(c) + ".MPG").c_str(), mod.c_str());
        writeIndex(folder + clip.name + ".MOI", c, clip.wide);
        if (clip.wide) {
            const int fd = ::open(mod.c_str(), O_WRONLY | O_CLOEXEC);
            for (const off_t at : clip.shapes)
                (void)!::pwrite(fd, &Standard, 1, at);
            ::close(fd);
        }
    }
    for (int f = 1; f <= card.folders; ++f) {
        const std::string pgi = card.root + "/PRG" + hex3(f) + "/PRG" + hex3(f) + ".PGI";
        const int fd = ::open(pgi.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bench::writeAll(fd, reinterpret_cast<const unsigned char*>("PGI"), 3);
        ::close(fd);
    }
    // What the restore wrote must not be flushed on the clock of the next run.
    const int fd = ::open(card.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::syncfs(fd);
    ::close(fd);
}

// What a run left: names, dates and shapes, to hold the two ways to the same.
std::string fingerprint(const Card& card) {
    std::string print;
    for (const Clip& clip : card.clips) {
        const int f = int(std::strtol(clip.folder.c_str() + 3, nullptr, 16));
        const int c = int(std::strtol(clip.name.c_str() + 3, nullptr, 16));
        const std::string path = card.root + "/PRG" + dec4(f) + "/MOV" + dec4(c) + ".MPG";
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return "missing " + path;
        print += std::to_string(st.st_mtime) + ' ';
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        for (const off_t at : clip.shapes) {
            unsigned char b = 0;
            (void)!::pread(fd, &b, 1, at);
            print += b == Wide ? 'W' : b == Standard ? 'S' : '?';
        }
        ::close(fd);
        print += '\n';
    }
    for (int f = 1; f <= card.folders; ++f) {
        DIR* dir = ::opendir((card.root + "/PRG" + dec4(f)).c_str());
        int entries = 0;
        while (dir && ::readdir(dir))
            ++entries;
        if (dir)
            ::closedir(dir);
        print += std::to_string(entries) + ' ';
    }
    return print;
}

// ---- The baseline -----------------------------------------------------------

// The walk's flush policy, done the same way. Per folder (the walk's own):
// the fixed clips stay open, and at the folder's end (or when 64 wait) each
// is flushed, then the index files go. Per clip (--flush clip, the older
// policy): every clip whose date or shape was set is flushed and closed
// before its index file goes.
bool flushPerFolder = false;
constexpr size_t BatchClips = 64;

struct Pending {
    std::vector<int> clips;
    std::vector<std::string> indexes;
};

void flushPending(int folder, Pending& pending) {
    for (const int clip : pending.clips) {
        ::fsync(clip);
        ::close(clip);
    }
    pending.clips.clear();
    for (const std::string& name : pending.indexes)
        ::unlinkat(folder, name.c_str(), 0);
    pending.indexes.clear();
}

// The kernel's record; the name follows the fixed part.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

template <typename Take> void listFolder(int fd, Take take) {
    alignas(8) char buffer[32768];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (long at = 0; at < n;) {
            const auto* d = reinterpret_cast<const LinuxDirent64*>(buffer + at);
            if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
                take(d);
            at += d->d_reclen;
        }
    }
}

bool endsWith(const char* name, const char* tail) {
    const size_t a = std::strlen(name), b = std::strlen(tail);
    return a >= b && std::strcmp(name + a - b, tail) == 0;
}

// The name mapping on bytes, for names the card is made of.
std::string mapped(const char* name, const char* extension) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
    };
    const int n = digit(name[3]) * 256 + digit(name[4]) * 16 + digit(name[5]);
    char text[32];
    std::snprintf(text, sizeof text, "%.3s%04d%s", name, n, extension);
    return text;
}

// The date an index file holds, as the host's time; -1 when it has none.
time_t indexDate(const unsigned char* b) {
    struct tm t {};
    t.tm_year = (b[6] << 8 | b[7]) - 1900;
    t.tm_mon = b[8] - 1;
    t.tm_mday = b[9];
    t.tm_hour = b[10];
    t.tm_min = b[11];
    t.tm_sec = (b[12] << 8 | b[13]) / 1000;
    t.tm_isdst = -1;
    return t.tm_year < 90 || t.tm_mon > 11 ? -1 : ::mktime(&t);
}

// Every "00 00 01 B3" saying 4:3 set to 16:9, found by memchr on its last
// byte: the plain way, with no program-stream parsing.
void widenPlainly(int fd, std::vector<unsigned char>& buffer) {
    off_t base = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), base);
        if (n <= 0)
            return;
        const unsigned char* data = buffer.data();
        for (ssize_t at = 3; at + 4 < n;) {
            const void* hit = std::memchr(data + at, 0xB3, size_t(n - 4 - at));
            if (!hit)
                break;
            at = static_cast<const unsigned char*>(hit) - data;
            const unsigned char* h = data + at - 3;
            if (h[0] == 0 && h[1] == 0 && h[2] == 1 && h[7] >> 4 == 2) {
                const unsigned char shape = static_cast<unsigned char>(0x30 | (h[7] & 0x0F));
                (void)!::pwrite(fd, &shape, 1, base + (at - 3 + 7));
            }
            ++at;
        }
        base += n;
    }
}

void baselineFolder(int folder, std::vector<unsigned char>& buffer) {
    std::vector<std::string> clips, indexes, others;
    listFolder(folder, [&](const LinuxDirent64* d) {
        if (endsWith(d->d_name, ".MOD"))
            clips.emplace_back(d->d_name);
        else if (endsWith(d->d_name, ".MOI"))
            indexes.emplace_back(d->d_name);
        else if (endsWith(d->d_name, ".PGI"))
            others.emplace_back(d->d_name);
    });
    for (const std::string& name : clips)
        ::syscall(SYS_renameat2, folder, name.c_str(), folder, mapped(name.c_str(), ".MPG").c_str(),
                  RENAME_NOREPLACE);
    Pending pending;
    for (const std::string& name : indexes) {
        unsigned char head[0x81] = {};
        const int index = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        const bool read =
            index >= 0 && ::pread(index, head, sizeof head, 0) == ssize_t(sizeof head);
        if (index >= 0)
            ::close(index);
        const bool valid = read && head[0] == 'V' && head[1] == '6';
        const bool wide = valid && ((head[0x80] & 0x0F) == 4 || (head[0x80] & 0x0F) == 5);
        const time_t date = valid ? indexDate(head) : -1;
        if (wide || date >= 0) {
            const int clip = ::openat(folder, mapped(name.c_str(), ".MPG").c_str(),
                                      (wide ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW);
            if (clip < 0 || ::flock(clip, (wide ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
                std::exit(5);
            if (wide)
                widenPlainly(clip, buffer);
            if (date >= 0) {
                const struct timespec times[2] = {{0, UTIME_OMIT}, {date, 0}};
                ::futimens(clip, times);
            }
            if (flushPerFolder) {
                pending.clips.push_back(clip);
            } else {
                ::fsync(clip);
                ::close(clip);
            }
        }
        pending.indexes.push_back(name);
        if (!flushPerFolder || pending.clips.size() == BatchClips)
            flushPending(folder, pending);
    }
    pending.indexes.insert(pending.indexes.end(), others.begin(), others.end());
    flushPending(folder, pending);
}

void baseline(const std::string& root) {
    std::vector<unsigned char> buffer(FixBuffer);
    const int top = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return;
    std::vector<std::string> folders;
    listFolder(top, [&](const LinuxDirent64* d) {
        if (d->d_type == DT_DIR && std::strncmp(d->d_name, "PRG", 3) == 0)
            folders.emplace_back(d->d_name);
    });
    for (const std::string& name : folders) {
        const std::string to = mapped(name.c_str(), "");
        ::syscall(SYS_renameat2, top, name.c_str(), top, to.c_str(), RENAME_NOREPLACE);
        const int folder = ::openat(top, to.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            baselineFolder(folder, buffer);
            ::close(folder);
        }
    }
    ::close(top);
}

// ---- Rows -------------------------------------------------------------------

struct Options {
    int folders = 20, clips = 50, clipKiB = 32, rounds = 9;
    int large = 3, largeMiB = 256;
    std::string dir = "/dev/shm", diskDir = "/var/tmp", only;
};

// One row: a card in base, measured over rounds. False when the two ways
// disagree.
bool row(const std::string& what, const std::string& base, int rounds, int folders, int clips,
         long long clipBytes, int headerEvery, bool allWide) {
    QTemporaryDir tmp(QString::fromStdString(base) + QStringLiteral("/bench_conversion-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder in %s\n", base.c_str());
        return false;
    }
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    ::mkdir((root + "/drives").c_str(), 0755);
    ::mkdir((root + "/disk_x").c_str(), 0755);
    if (::symlink((root + "/disk_x").c_str(), (root + "/drives/x:").c_str()) != 0)
        return false;
    ::setenv("PELMORA_DRIVES", (root + "/drives").c_str(), 1);
    const Card card =
        buildCard(root + "/disk_x/card", folders, clips, clipBytes, headerEvery, allWide);
    size_t headers = 0;
    for (const Clip& clip : card.clips)
        headers += clip.shapes.size();
    std::printf("%s: %d folders x %d clips of %lld KiB (%s16:9, %zu sequence headers), %d rounds "
                "in %s\n",
                what.c_str(), folders, clips, clipBytes >> 10, allWide ? "all " : "half ", headers,
                rounds, base.c_str());
    std::fflush(stdout);
    auto walk = [] { strovan::ConvertFolder(QStringLiteral("X:\\card"), {}); };
    auto direct = [&card] { baseline(card.root); };
    bench::Paired paired;
    for (int round = 0; round < rounds; ++round) {
        Measure w, b;
        std::string walked, expected;
        for (int turn = 0; turn < 2; ++turn) {
            restoreCard(card);
            // Alternate which goes first, so that neither always finds the
            // other's leftovers in the caches.
            if ((turn == 0) == (round % 2 == 0)) {
                w = inChild(walk);
                walked = fingerprint(card);
            } else {
                b = inChild(direct);
                expected = fingerprint(card);
            }
        }
        if (walked != expected || walked.find('W') == std::string::npos) {
            std::fprintf(stderr,
                         "round %d: the walk and the baseline left different cards\n"
                         "walk:\n%s\nbaseline:\n%s\n",
                         round + 1, walked.c_str(), expected.c_str());
            return false;
        }
        paired.measured.push_back(w.seconds);
        paired.baseline.push_back(b.seconds);
        paired.measuredCpu.push_back(w.cpuSeconds);
        paired.baselineCpu.push_back(b.cpuSeconds);
    }
    bench::report(what, "walk (strovan::ConvertFolder)", "bare system calls", paired, 0);
    return true;
}

int argument(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return fallback;
}

std::string text(int argc, char** argv, const char* name, const std::string& fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    o.folders = argument(argc, argv, "--folders", o.folders);
    o.clips = argument(argc, argv, "--clips", o.clips);
    o.clipKiB = argument(argc, argv, "--clip-kib", o.clipKiB);
    o.rounds = std::max(1, argument(argc, argv, "--rounds", o.rounds));
    o.large = argument(argc, argv, "--large", o.large);
    o.largeMiB = argument(argc, argv, "--large-mib", o.largeMiB);
    o.dir = text(argc, argv, "--dir", o.dir);
    o.diskDir = text(argc, argv, "--disk-dir", o.diskDir);
    o.only = text(argc, argv, "--only", "");
    flushPerFolder = text(argc, argv, "--flush", "folder") != "clip";
    const long long clipBytes = (long long)o.clipKiB << 10;
    bool ok = true;
    if (o.only.empty() || o.only == "small") {
        // A header every 6 video packs: two or three per 32 KiB clip.
        ok = ok && row("card in memory", o.dir, o.rounds, o.folders, o.clips, clipBytes, 6, false);
        ok = ok &&
             row("card on the disk", o.diskDir, o.rounds, o.folders, o.clips, clipBytes, 6, false);
    }
    if (o.large > 0 && (o.only.empty() || o.only == "large")) {
        // A header every 200 video packs: about 650 per 256 MiB clip.
        ok = ok && row("large clips", o.dir, std::max(3, o.rounds / 3), 1, o.large,
                       (long long)o.largeMiB << 20, 200, true);
    }
    return ok ? 0 : 1;
}
