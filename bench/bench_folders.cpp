// Large folders and large files, each against a baseline in the same run:
//
//   lookup   a name that does not exist, in a folder of N files
//            vs one readdir pass comparing each name without regard to case
//   save     the CD site save (Autorun.inf, the autorun program, the icon) at
//            a drive root of N files vs a minimal C save that lists the root
//            once and makes the same writes and flushes; in the benchmark's
//            folder and again in --disk-dir (default: the system's temporary
//            folder), a disk
//   list     the file list showing a folder of N files vs readdir + the same
//            attribute read per file + case-insensitive sort +
//            QListWidget::addItems + repaint
//   dblclick a double click into that folder in the folder list (folder list
//            and linked file list) vs the same plain list
//   start    the converter's start to its painted window in a folder of N
//            files vs a start of an empty window of its size holding the plain
//            list above of the same folder
//   startup  the converter's and the launcher's start, each up to its first
//            painted window, vs an empty 813x405 window
//   copy     CopyOneFile of M MB vs cat
//
//   bench_folders [--files N] [--rounds N] [--copy-mb M] [--dir PATH] [--disk-dir PATH]
//                 [--only NAME,...]
//
// (defaults: 10,000 files, 11 rounds (copy: 5), 200 MB, in /dev/shm when it
// can be written). Rounds run back to back in alternating order; the figure
// is the median of the per-round ratios.
#include "converter/Unit1.h"
#include "launcher/AutorunInf.h"
#include "launcher/FmxUtils.h"
#include "launcher/RootSave.h"
#include "launcher/SupportsVideo.h"
#include "launcher/u_CdSite.h"
#include "launcher/UniteP.h"
#include "Paired.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/Translations.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    int files = 10000;
    int rounds = 11;
    int copyMb = 200;
    QString base;
    QString diskBase;
    QStringList only;

    bool runs(const char* name) const {
        return only.isEmpty() || only.contains(QLatin1String(name));
    }
};

int intArgument(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    return fallback;
}

QString stringArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    return {};
}

void writeFile(const std::string& path, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        std::exit(4);
    std::string chunk(std::min<size_t>(size, 1 << 20), 'x');
    for (size_t done = 0; done < size;) {
        const size_t n = std::min(chunk.size(), size - done);
        if (::write(fd, chunk.data(), n) != ssize_t(n))
            std::exit(4);
        done += n;
    }
    ::close(fd);
}

// A folder of n small files with names of mixed case, as pages of a site.
void fillFolder(const std::string& folder, int n) {
    ::mkdir(folder.c_str(), 0755);
    char name[64];
    for (int i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "/%s%05d.%s", i % 3 ? "page" : "Image", i,
                      i % 2 ? "htm" : "JPG");
        writeFile(folder + name, 16);
    }
}

std::string host(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// --- lookup ---------------------------------------------------------------

bool scanIgnoringCase(const std::string& folder, const char* name) {
    DIR* dir = ::opendir(folder.c_str());
    bool found = false;
    while (const dirent* d = dir ? ::readdir(dir) : nullptr)
        if (::strcasecmp(d->d_name, name) == 0) {
            found = true;
            break;
        }
    if (dir)
        ::closedir(dir);
    return found;
}

void benchLookup(const Options& o, const std::string& big) {
    const QString missing = QStringLiteral("X:\\big\\Absent.htm");
    const bench::Paired p = bench::runPaired(
        o.rounds,
        [&] {
            return bench::timed(
                [&] {
                    if (platform::toHostPath(missing).isEmpty())
                        std::exit(5);
                },
                5);
        },
        [&] {
            return bench::timed(
                [&] {
                    if (scanIgnoringCase(big, "Absent.htm"))
                        std::exit(5);
                },
                5);
        });
    bench::report(QStringLiteral("lookup of a missing name in a folder of %1 files")
                      .arg(o.files)
                      .toStdString(),
                  "platform::toHostPath", "readdir + strcasecmp", p, 1.5);
}

// --- save -----------------------------------------------------------------

// The CD site window's save itself, from a suite folder at the root of S:.
void saveRootFiles(const QString& root, const QByteArray& autorun, const QString& iconPath) {
    const pelmora::RootSaveOutcome outcome =
        pelmora::SaveRoot(root, autorun, QStringLiteral("S:"), iconPath);
    if (!outcome.saved()) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(outcome.reason));
        std::exit(1);
    }
}

// The same save in plain C: the root listed once, looking for the three
// names without regard to case, then each file written under a temporary
// name, flushed, renamed into place, and the root flushed, as the save does.
bool copyInto(int rootFd, const char* name, const char* source) {
    const int in = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::openat(rootFd, "~c.tmp", O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    char buffer[64 * 1024];
    ssize_t n;
    bool ok = out >= 0;
    while (ok && (n = ::read(in, buffer, sizeof buffer)) > 0)
        ok = ::write(out, buffer, size_t(n)) == n;
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    if (out >= 0)
        ::close(out);
    ok = ok && ::renameat(rootFd, "~c.tmp", rootFd, name) == 0;
    return ok && ::fsync(rootFd) == 0;
}

void minimalSave(const std::string& root, const QByteArray& autorun, const std::string& suite) {
    const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string names[3] = {"Autorun.inf", "zolvex.exe", "site.ico"};
    DIR* dir = ::fdopendir(::dup(rootFd));
    bool iconThere = false;
    while (const dirent* d = dir ? ::readdir(dir) : nullptr)
        for (std::string& name : names)
            if (::strcasecmp(d->d_name, name.c_str()) == 0) {
                iconThere |= &name == &names[2];
                name = d->d_name;
            }
    if (dir)
        ::closedir(dir);
    const int out = ::openat(rootFd, "~c.tmp", O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    bool ok = out >= 0 &&
              ::write(out, autorun.constData(), size_t(autorun.size())) == autorun.size() &&
              ::fsync(out) == 0;
    if (out >= 0)
        ::close(out);
    ok = ok && ::renameat(rootFd, "~c.tmp", rootFd, names[0].c_str()) == 0 && ::fsync(rootFd) == 0;
    ok = ok && copyInto(rootFd, names[1].c_str(), (suite + "/racineCD/Zolvex.exe").c_str());
    ok = ok && (iconThere || copyInto(rootFd, names[2].c_str(), (suite + "/ico/site.ico").c_str()));
    ::close(rootFd);
    if (!ok)
        std::exit(3);
}

void benchSave(const Options& o, const QString& where, const std::string& suite) {
    const QByteArray autorun = pelmora::AutorunBytes(
        pelmora::AutorunLines(QStringLiteral("S:\\ico\\site.ico"), QStringLiteral("index.htm")));
    const std::string root = host(platform::toHostPath(QStringLiteral("Y:\\")));
    auto clear = [&] {
        // Each round writes afresh: what the last round wrote goes first.
        for (const char* name : {"Autorun.inf", "zolvex.exe", "site.ico"})
            ::unlink((root + '/' + name).c_str());
    };
    const bench::Paired p = bench::runPaired(
        o.rounds,
        [&] {
            clear();
            return bench::timed([&] {
                saveRootFiles(QStringLiteral("Y:\\"), autorun, QStringLiteral("S:\\ico\\site.ico"));
            });
        },
        [&] {
            clear();
            return bench::timed([&] { minimalSave(root, autorun, suite); });
        });
    bench::report(QStringLiteral("CD site save at a root of %1 files, in %2")
                      .arg(o.files)
                      .arg(where)
                      .toStdString(),
                  "SaveRoot", "minimal C save, root listed once", p, 1.5);
}

// --- lists ----------------------------------------------------------------

// What any list of a folder's files must do: read the names, read each
// one's hidden and system attribute as the file list does (relative to the
// open folder), sort them as the user reads them, show them.
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

bool hiddenAt(int dirFd, const char* name) {
    char text[32];
    XattrArgs args{std::uint64_t(reinterpret_cast<std::uintptr_t>(text)), 31, 0};
    return ::syscall(464, dirFd, name, AT_SYMLINK_NOFOLLOW, "user.DOSATTRIB", &args, sizeof args) >
           0;
}

QStringList plainNames(const std::string& folder) {
    QStringList names;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* d = dir ? ::readdir(dir) : nullptr)
        if (d->d_name[0] != '.' && !hiddenAt(::dirfd(dir), d->d_name))
            names << QFile::decodeName(d->d_name);
    if (dir)
        ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

bench::Sample plainList(QListWidget& list, const std::string& folder) {
    list.clear();
    return bench::timed([&] {
        list.addItems(plainNames(folder));
        list.repaint();
    });
}

void benchLists(const Options& o, const std::string& big) {
    // Side by side, all shown: a hidden list would skip its painting.
    QWidget window;
    window.resize(740, 320);
    auto* flb = new toolkit::FileListBox(&window);
    flb->setGeometry(248, 8, 233, 297);
    auto* plain = new QListWidget(&window);
    plain->setGeometry(8, 8, 233, 297);
    plain->setUniformItemSizes(true); // as the file list sets it
    window.show();
    QCoreApplication::processEvents();

    if (o.runs("list")) {
        const bench::Paired p = bench::runPaired(
            o.rounds,
            [&] {
                flb->setDirectory(QStringLiteral("X:\\empty"));
                return bench::timed([&] {
                    flb->setDirectory(QStringLiteral("X:\\big"));
                    flb->repaint();
                });
            },
            [&] { return plainList(*plain, big); });
        if (flb->count() != o.files || plain->count() != o.files)
            std::exit(6);
        bench::report(
            QStringLiteral("file list showing a folder of %1 files").arg(o.files).toStdString(),
            "FileListBox::setDirectory + repaint",
            "readdir + attribute read + sort + addItems + repaint", p, 1.2);
    }

    if (o.runs("dblclick")) {
        auto* dlb = new toolkit::DirectoryListBox(&window);
        dlb->setGeometry(488, 8, 233, 297);
        dlb->setFileList(flb);
        dlb->show();
        QCoreApplication::processEvents();
        const bench::Paired p = bench::runPaired(
            o.rounds,
            [&] {
                dlb->setDirectory(QStringLiteral("X:\\"));
                QListWidgetItem* item = nullptr;
                for (int i = 0; i < dlb->count() && !item; ++i)
                    if (dlb->item(i)->text() == u"big")
                        item = dlb->item(i);
                if (!item)
                    std::exit(7);
                return bench::timed([&] {
                    emit dlb->itemDoubleClicked(item);
                    dlb->repaint();
                    flb->repaint();
                });
            },
            [&] { return plainList(*plain, big); });
        if (dlb->directory() != u"X:\\big" || flb->count() != o.files)
            std::exit(7);
        bench::report(QStringLiteral("double click into a folder of %1 files (folder list + "
                                     "linked file list)")
                          .arg(o.files)
                          .toStdString(),
                      "DirectoryListBox double click",
                      "readdir + attribute read + sort + addItems + repaint", p, 0);
    }
}

// --- converter start --------------------------------------------------------

// The whole start as the user waits for it: a new process, its application,
// the window made and painted (this program again, with --start-child).
bench::Sample startProcess(const QString& folder, const char* kind) {
    return bench::timed([&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const QByteArray f = folder.toLocal8Bit();
            ::execl("/proc/self/exe", "bench_folders", "--start-child", f.constData(),
                    "--start-kind", kind, nullptr);
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::exit(9);
    });
}

bench::Sample converterProcess(const QString& folder) {
    return startProcess(folder, "strovan");
}

// A program's start up to its first painted window: the converter's window,
// the launcher's windows as its main makes them, or an empty window of the
// converter's size as what any start costs.
int startChild(int argc, char** argv, const QString& folder, const QString& kind) {
    QApplication app(argc, argv);
    toolkit::installFrenchTranslations(app);
    platform::setCurrentFolder(folder);
    auto paint = [](QWidget& window) {
        window.show();
        QCoreApplication::processEvents();
        window.repaint();
    };
    if (kind == u"pelmora") {
        pelmora::TForm1 menu;
        pelmora::TFormVideo video;
        pelmora::TForm3 site(menu.startFolder());
        menu.setCompanions(&video, &site);
        paint(menu);
    } else if (kind == u"empty") {
        QWidget window;
        window.resize(813, 405);
        paint(window);
    } else if (kind == u"listing") {
        // What a start in that folder cannot avoid: the folder read, its
        // attributes read, sorted and shown.
        QWidget window;
        window.resize(813, 405);
        auto* list = new QListWidget(&window);
        list->setGeometry(8, 8, 233, 297);
        list->setUniformItemSizes(true);
        list->addItems(plainNames(host(platform::toHostPath(folder))));
        paint(window);
    } else {
        QApplication::setStyle(QStringLiteral("Windows"));
        strovan::TForm1 form(folder);
        paint(form);
    }
    return 0;
}

void benchStartup(const Options& o) {
    for (const char* kind : {"strovan", "pelmora"}) {
        const bench::Paired p = bench::runPaired(
            o.rounds, [kind] { return startProcess(QStringLiteral("X:\\empty"), kind); },
            [] { return startProcess(QStringLiteral("X:\\empty"), "empty"); });
        bench::report(std::string("start to first painted window: ") + kind, kind,
                      "an empty 813x405 QWidget", p, 0);
    }
}

void benchStart(const Options& o) {
    const bench::Paired p = bench::runPaired(
        o.rounds, [] { return converterProcess(QStringLiteral("X:\\big")); },
        [] { return startProcess(QStringLiteral("X:\\big"), "listing"); });
    bench::report(QStringLiteral("converter start (new process to first painted window) in a "
                                 "folder of %1 files")
                      .arg(o.files)
                      .toStdString(),
                  "Strovan's window", "813x405 window + plain list of it", p, 1.3);
}

// --- copy -------------------------------------------------------------------

void benchCopy(const Options& o, const std::string& root) {
    const std::string folder = root + "/disk_x/copy";
    ::mkdir(folder.c_str(), 0755);
    writeFile(folder + "/source.bin", size_t(o.copyMb) << 20);
    const std::string target = folder + "/target.bin";
    auto copy = [&] {
        ::unlink(target.c_str());
        return bench::timed([] {
            pelmora::CopyOneFile(QStringLiteral("X:\\copy\\source.bin"),
                                 QStringLiteral("X:\\copy\\target.bin"));
        });
    };
    auto cat = [&] {
        ::unlink(target.c_str());
        return bench::timed([&] {
            const pid_t pid = ::fork();
            if (pid == 0) {
                const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(fd, 1);
                ::execlp("cat", "cat", (folder + "/source.bin").c_str(), nullptr);
                ::_exit(127);
            }
            int status = 0;
            ::waitpid(pid, &status, 0);
        });
    };
    const bench::Paired p = bench::runPaired(std::max(3, (o.rounds + 1) / 2), copy, cat);
    struct stat st;
    if (::stat(target.c_str(), &st) != 0 || st.st_size != off_t(o.copyMb) << 20)
        std::exit(8);
    ::unlink(target.c_str());
    ::unlink((folder + "/source.bin").c_str());
    bench::report(QStringLiteral("copy of %1 MB").arg(o.copyMb).toStdString(), "CopyOneFile", "cat",
                  p, 1.1);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString child = stringArgument(argc, argv, "--start-child");
    if (!child.isEmpty())
        return startChild(argc, argv, child, stringArgument(argc, argv, "--start-kind"));
    Options o;
    o.files = intArgument(argc, argv, "--files", o.files);
    o.rounds = std::max(1, intArgument(argc, argv, "--rounds", o.rounds));
    o.copyMb = intArgument(argc, argv, "--copy-mb", o.copyMb);
    const QString only = stringArgument(argc, argv, "--only");
    if (!only.isEmpty())
        o.only = only.split(u',');
    o.base = stringArgument(argc, argv, "--dir");
    o.diskBase = stringArgument(argc, argv, "--disk-dir");
    if (o.diskBase.isEmpty())
        o.diskBase = QDir::tempPath();
    if (o.base.isEmpty())
        o.base = ::access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm") : QDir::tempPath();

    QApplication app(argc, argv);
    QTemporaryDir tmp(o.base + QStringLiteral("/bench_folders-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder in %s\n", qPrintable(o.base));
        return 1;
    }
    const std::string root = host(tmp.path());
    for (const char* sub :
         {"/drives", "/disk_x", "/root_full", "/suite", "/suite/racineCD", "/suite/ico"})
        ::mkdir((root + sub).c_str(), 0755);
    const std::pair<const char*, const char*> drives[] = {
        {"x:", "/disk_x"}, {"y:", "/root_full"}, {"s:", "/suite"}};
    for (const auto& [letter, target] : drives)
        if (::symlink((root + target).c_str(), (root + "/drives/" + letter).c_str()) != 0)
            return 1;
    ::setenv("PELMORA_DRIVES", (root + "/drives").c_str(), 1);

    const std::string big = root + "/disk_x/big";
    fillFolder(big, o.files);
    ::mkdir((root + "/disk_x/empty").c_str(), 0755);
    fillFolder(root + "/root_full", o.files);
    writeFile(root + "/suite/racineCD/Zolvex.exe", 64 << 10);
    writeFile(root + "/suite/ico/site.ico", 4 << 10);
    platform::setCurrentFolder(QStringLiteral("X:\\"));

    std::printf("%d files per folder, %d rounds, in %s\n", o.files, o.rounds, root.c_str());
    if (o.runs("lookup"))
        benchLookup(o, big);
    if (o.runs("save")) {
        benchSave(o, tmp.path(), root + "/suite");
        // Again with the root on a disk, where the flushes cost what they do.
        QTemporaryDir disk(o.diskBase + QStringLiteral("/bench_folders-XXXXXX"));
        const std::string diskRoot = host(disk.path()) + "/root_full";
        if (disk.isValid() && ::unlink((root + "/drives/y:").c_str()) == 0 &&
            ::symlink(diskRoot.c_str(), (root + "/drives/y:").c_str()) == 0) {
            fillFolder(diskRoot, o.files);
            benchSave(o, disk.path(), root + "/suite");
            ::unlink((root + "/drives/y:").c_str());
            if (::symlink((root + "/root_full").c_str(), (root + "/drives/y:").c_str()) != 0)
                return 1;
        }
    }
    if (o.runs("list") || o.runs("dblclick"))
        benchLists(o, big);
    if (o.runs("start"))
        benchStart(o);
    if (o.runs("startup"))
        benchStartup(o);
    if (o.runs("copy"))
        benchCopy(o, root);
    platform::setCurrentFolder(QStringLiteral("Z:\\"));
    return 0;
}
