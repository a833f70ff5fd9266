#include "launcher/FmxUtils.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WorkingFolder.h"
#include "TempDrives.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace pelmora;

class TstFmxUtils : public QObject {
    Q_OBJECT

    static QByteArray randomBytes(qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        QRandomGenerator gen(size);
        for (auto& b : bytes)
            b = char(gen.bounded(256));
        return bytes;
    }

private slots:
    void copiesWholeFilesOfEverySize_data() {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("empty") << qsizetype(0);
        QTest::newRow("one byte") << qsizetype(1);
        QTest::newRow("one chunk less one") << qsizetype(CopyChunkSize - 1);
        QTest::newRow("exactly one chunk") << qsizetype(CopyChunkSize);
        QTest::newRow("one chunk and a byte") << qsizetype(CopyChunkSize + 1);
        QTest::newRow("many chunks") << qsizetype(CopyChunkSize * 37 + 5);
    }
    void copiesWholeFilesOfEverySize() {
        QFETCH(qsizetype, size);
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addDrive(u'X');
        const QByteArray content = randomBytes(size);
        drives.writeFile(QStringLiteral("C:\\Suite\\racineCD\\Zolvex.exe"), content);
        // An older, longer file at the destination is replaced, not overlaid.
        drives.writeFile(QStringLiteral("X:\\zolvex.exe"), QByteArray(size + 100, 'z'));
        CopyOneFile(QStringLiteral("C:\\Suite\\racineCD\\Zolvex.exe"),
                    QStringLiteral("X:\\zolvex.exe"));
        QCOMPARE(drives.readFile(QStringLiteral("X:\\zolvex.exe")), content);
    }

    void copyIntoAFolderTakesTheSourceName_data() {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("drive root") << "X:\\"
                                    << "X:\\a.ico";
        QTest::newRow("folder without backslash") << "X:\\dir"
                                                  << "X:\\dir\\a.ico";
        QTest::newRow("folder with backslash") << "X:\\dir\\"
                                               << "X:\\dir\\a.ico";
        QTest::newRow("relative to the working folder") << "dir"
                                                        << "X:\\dir\\a.ico";
        QTest::newRow("a new file name") << "X:\\dir\\b.ico"
                                         << "X:\\dir\\b.ico";
    }
    void copyIntoAFolderTakesTheSourceName() {
        QFETCH(QString, destination);
        QFETCH(QString, expected);
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addDrive(u'X');
        drives.makeFolder(QStringLiteral("X:\\dir"));
        drives.writeFile(QStringLiteral("C:\\ico\\a.ico"), "icon");
        platform::setCurrentFolder(QStringLiteral("X:\\"));
        CopyOneFile(QStringLiteral("C:\\ico\\a.ico"), destination);
        QCOMPARE(drives.readFile(expected), QByteArray("icon"));
    }

    void missingSourceRaisesTheOpenErrorAndCreatesNothing() {
        TempDrives drives;
        drives.addDrive(u'X');
        try {
            CopyOneFile(QStringLiteral("X:\\absent.ico"), QStringLiteral("X:\\copy.ico"));
            QFAIL("no error raised");
        } catch (const FileOpenError& e) {
            QCOMPARE(e.message(), QStringLiteral("Impossible d'ouvrir le fichier X:\\absent.ico"));
        }
        QVERIFY(!platform::fileExists(QStringLiteral("X:\\copy.ico")));
    }

    void protectedDestinationIsLeftUnchanged_data() {
        QTest::addColumn<quint32>("attributes");
        QTest::newRow("read-only") << quint32(platform::AttrReadOnly);
        QTest::newRow("hidden") << quint32(platform::AttrHidden);
        QTest::newRow("system") << quint32(platform::AttrSystem);
    }
    void protectedDestinationIsLeftUnchanged() {
        QFETCH(quint32, attributes);
        TempDrives drives;
        drives.addDrive(u'X');
        drives.writeFile(QStringLiteral("X:\\new.exe"), "new");
        drives.writeFile(QStringLiteral("X:\\zolvex.exe"), "old");
        if (platform::setFileAttributes(QStringLiteral("X:\\zolvex.exe"), attributes) != 0)
            QSKIP("this file system keeps no extended attributes");
        try {
            CopyOneFile(QStringLiteral("X:\\new.exe"), QStringLiteral("X:\\zolvex.exe"));
            QFAIL("no error raised");
        } catch (const FileCreateError& e) {
            QCOMPARE(e.message(), QStringLiteral("Impossible de créer le fichier X:\\zolvex.exe"));
        }
        QCOMPARE(drives.readFile(QStringLiteral("X:\\zolvex.exe")), QByteArray("old"));
    }

    void copyOntoItselfKeepsTheFile_data() {
        QTest::addColumn<QString>("destination");
        QTest::newRow("same name") << "X:\\site\\a.ico";
        QTest::newRow("other case") << "X:\\SITE\\A.ICO";
        QTest::newRow("its folder") << "X:\\site";
        QTest::newRow("through a link") << "X:\\lien.ico";
        QTest::newRow("through another drive letter") << "Y:\\a.ico";
    }
    void copyOntoItselfKeepsTheFile() {
        QFETCH(QString, destination);
        TempDrives drives;
        const QString x = drives.addDrive(u'X');
        drives.addDrive(u'Y', x + QStringLiteral("/site"));
        const QByteArray content = randomBytes(20000);
        const QString host = drives.writeFile(QStringLiteral("X:\\site\\a.ico"), content);
        QFile::link(host, x + QStringLiteral("/lien.ico"));
        QVERIFY_THROWS_EXCEPTION(FileCreateError,
                                 CopyOneFile(QStringLiteral("X:\\site\\a.ico"), destination));
        QCOMPARE(drives.readFile(QStringLiteral("X:\\site\\a.ico")), content);
    }

    // The destination is written as a file of its folder: whatever a link in
    // its place points at is left alone.
    void linkInTheDestinationsPlaceIsReplaced_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("a device that is always full") << "/dev/full";
        QTest::newRow("a file elsewhere") << "elsewhere/precious.txt";
        QTest::newRow("nowhere") << "elsewhere/absent.txt";
    }
    void linkInTheDestinationsPlaceIsReplaced() {
        QFETCH(QString, target);
        TempDrives drives;
        const QString x = drives.addDrive(u'X');
        const bool device = target.startsWith(u'/');
        const QString pointed = device ? target : drives.hostRoot() + u'/' + target;
        QDir().mkpath(drives.hostRoot() + QStringLiteral("/elsewhere"));
        const bool precious = target.endsWith(QStringLiteral("precious.txt"));
        if (precious) {
            QFile file(pointed);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("precious");
        }
        const QByteArray content = randomBytes(CopyChunkSize * 3);
        drives.writeFile(QStringLiteral("X:\\big.bin"), content);
        QVERIFY(QFile::link(pointed, x + QStringLiteral("/copy.bin")));
        CopyOneFile(QStringLiteral("X:\\big.bin"), QStringLiteral("X:\\copy.bin"));
        QVERIFY(!QFileInfo(x + QStringLiteral("/copy.bin")).isSymLink());
        QCOMPARE(drives.readFile(QStringLiteral("X:\\copy.bin")), content);
        if (device)
            QVERIFY(QFileInfo::exists(pointed) && !QFileInfo(pointed).isFile());
        else if (precious)
            QCOMPARE(QFileInfo(pointed).size(), qint64(8));
        else
            QVERIFY(!QFileInfo::exists(pointed));
    }

    // A source that returns less than asked per read (a network or FUSE file
    // system) is still copied to its end.
    void shortReadsCopyTheWholeFile_data() {
        QTest::addColumn<qint64>("limit");
        QTest::newRow("4096 bytes a read") << qint64(4096);
        QTest::newRow("one byte a read") << qint64(1);
    }
    void shortReadsCopyTheWholeFile() {
        QFETCH(qint64, limit);
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addDrive(u'X');
        const QByteArray content = randomBytes(20000);
        drives.writeFile(QStringLiteral("C:\\Zolvex.exe"), content);
        platform::setReadLimitForTests(limit);
        const auto unlimited = qScopeGuard([] { platform::setReadLimitForTests(0); });
        CopyOneFile(QStringLiteral("C:\\Zolvex.exe"), QStringLiteral("X:\\zolvex.exe"));
        QCOMPARE(drives.readFile(QStringLiteral("X:\\zolvex.exe")), content);
    }

    // A copy that fills the disk leaves the file it was to replace as it was,
    // and nothing else behind.
    void fullDiskKeepsThePreviousFile_data() {
        QTest::addColumn<QByteArray>("previous");
        QTest::newRow("an earlier copy") << QByteArray("earlier copy");
        QTest::newRow("no earlier copy") << QByteArray();
    }
    void fullDiskKeepsThePreviousFile() {
        QFETCH(QByteArray, previous);
        TempDrives drives;
        drives.addDrive(u'C');
        const QString disk = drives.hostRoot() + QStringLiteral("/small");
        QDir().mkpath(disk);
        if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("no small disk can be mounted here");
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });
        drives.addDrive(u'X', disk);
        if (!previous.isNull())
            drives.writeFile(QStringLiteral("X:\\zolvex.exe"), previous);
        drives.writeFile(QStringLiteral("C:\\Zolvex.exe"), randomBytes(256 * 1024));
        try {
            CopyOneFile(QStringLiteral("C:\\Zolvex.exe"), QStringLiteral("X:\\zolvex.exe"));
            QFAIL("a copy that did not fit passed for a good one");
        } catch (const platform::IoError& e) {
            QCOMPARE(e.code(), 101);
            QCOMPARE(e.message(), QStringLiteral("Disque plein"));
        }
        QCOMPARE(drives.readFile(QStringLiteral("X:\\zolvex.exe")), previous);
        const QStringList left = QDir(disk).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
        QCOMPARE(left, previous.isNull() ? QStringList() : QStringList{"zolvex.exe"});
    }

    // A device or pipe might never end: only regular files are copied.
    void onlyRegularFilesAreCopied_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("endless device") << "Z:\\dev\\zero";
        QTest::newRow("random device") << "Z:\\dev\\urandom";
    }
    void onlyRegularFilesAreCopied() {
        QFETCH(QString, source);
        TempDrives drives;
        const QString x = drives.addDrive(u'X');
        try {
            CopyOneFile(source, QStringLiteral("X:\\site.ico"));
            QFAIL("a device was copied");
        } catch (const FileOpenError& e) {
            QCOMPARE(e.message(),
                     source + " n'est pas un fichier ordinaire : il ne peut pas être copié");
        }
        QVERIFY(
            QDir(x).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    }

    void failedReadRaisesAndRemovesTheCopy() {
        TempDrives drives;
        drives.addDrive(u'X');
        // Reading this process's memory at address 0 fails with an I/O error.
        drives.addDrive(u'P', QStringLiteral("/proc/self"));
        try {
            CopyOneFile(QStringLiteral("P:\\mem"), QStringLiteral("X:\\mem.bin"));
            QFAIL("a failed read passed for a good copy");
        } catch (const platform::IoError& e) {
            QCOMPARE(e.code(), 100);
        }
        QVERIFY(!platform::fileExists(QStringLiteral("X:\\mem.bin")));
    }

    // A copy over a file keeps that file's permissions; a new one has the
    // usual ones.
    void replacedFileKeepsItsMode_data() {
        QTest::addColumn<int>("mode"); // of the file replaced; -1: none there
        QTest::newRow("private") << 0600;
        QTest::newRow("a program") << 0755;
        QTest::newRow("group may read") << 0640;
        QTest::newRow("no file before") << -1;
    }
    void replacedFileKeepsItsMode() {
        QFETCH(int, mode);
        TempDrives drives;
        drives.addDrive(u'C');
        const QString x = drives.addDrive(u'X');
        drives.writeFile(QStringLiteral("C:\\Zolvex.exe"), "nouveau");
        const QByteArray target = QFile::encodeName(x + QStringLiteral("/zolvex.exe"));
        if (mode >= 0) {
            drives.writeFile(QStringLiteral("X:\\zolvex.exe"), "ancien");
            QCOMPARE(::chmod(target.constData(), mode_t(mode)), 0);
        }
        CopyOneFile(QStringLiteral("C:\\Zolvex.exe"), QStringLiteral("X:\\zolvex.exe"));
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat st {};
        QCOMPARE(::stat(target.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode >= 0 ? mode : int(0666 & ~mask));
        QCOMPARE(drives.readFile(QStringLiteral("X:\\zolvex.exe")), QByteArray("nouveau"));
    }

    // The copy is flushed before it takes the old file's name, and no other
    // name of it shows on the way where the file system can write it nameless.
    void theCopyIsNamedOnlyOnceFlushed() {
        TempDrives drives;
        drives.addDrive(u'C');
        const QString x = drives.addDrive(u'X');
        drives.writeFile(QStringLiteral("C:\\Zolvex.exe"), randomBytes(CopyChunkSize * 2));
        drives.writeFile(QStringLiteral("X:\\zolvex.exe"), "ancien");
        const int probe = ::open(QFile::encodeName(x).constData(), O_TMPFILE | O_RDWR, 0600);
        const bool nameless = probe >= 0;
        if (nameless)
            ::close(probe);
        QList<platform::ReplacementStep> steps;
        QList<QStringList> seen;
        platform::setReplacementHookForTests([&](platform::ReplacementStep step) {
            steps << step;
            seen << QDir(x).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        });
        const auto unhook = qScopeGuard([] { platform::setReplacementHookForTests({}); });
        CopyOneFile(QStringLiteral("C:\\Zolvex.exe"), QStringLiteral("X:\\zolvex.exe"));
        QCOMPARE(steps, (QList{platform::ReplacementStep::Flushed,
                               platform::ReplacementStep::Renamed}));
        if (nameless)
            QCOMPARE(seen.first(), QStringList{"zolvex.exe"});
        QCOMPARE(seen.last(), QStringList{"zolvex.exe"});
    }

    void attributesTests() {
        TempDrives drives;
        drives.addDrive(u'X');
        drives.writeFile(QStringLiteral("X:\\a.ico"), "a");
        QVERIFY(HasAllAttributes(QStringLiteral("X:\\absent"), 0));
        QVERIFY(!HasAllAttributes(QStringLiteral("X:\\absent"), platform::AttrArchive));
        QVERIFY(HasAllAttributes(QStringLiteral("X:\\"), platform::AttrDirectory));
        QVERIFY(!HasAllAttributes(QStringLiteral("X:\\a.ico"), platform::AttrDirectory));
        QVERIFY(HasAllAttributes(QStringLiteral("X:\\a.ico"), platform::AttrArchive));

        const quint32 all = platform::AttrReadOnly | platform::AttrHidden | platform::AttrArchive;
        if (platform::setFileAttributes(QStringLiteral("X:\\a.ico"), all) != 0)
            QSKIP("this file system keeps no extended attributes");
        QVERIFY(HasAllAttributes(QStringLiteral("X:\\a.ico"),
                                 platform::AttrReadOnly | platform::AttrHidden));
        ClearReadOnlyHidden(QStringLiteral("X:\\a.ico"));
        QCOMPARE(platform::fileAttributes(QStringLiteral("X:\\a.ico")),
                 quint32(platform::AttrArchive));
        ClearReadOnlyHidden(QStringLiteral("X:\\absent")); // ignored, no crash
    }

    void launchInFolderStartsDetachedWithTheShellsCode() {
        TempDrives drives;
        drives.addDrive(u'C');
        const QString host =
            drives.writeFile(QStringLiteral("C:\\Suite\\Quorel\\Quorel"), "#!/bin/sh\n");
        QFile::setPermissions(host, QFile::permissions(host) | QFile::ExeOwner);
        QList<platform::StartRequest> started;
        platform::setStartHook([&](const platform::StartRequest& r) {
            started << r;
            return true;
        });
        QVERIFY(LaunchInFolder(QStringLiteral("Quorel.EXE"), QStringLiteral("MENU"),
                               QStringLiteral("C:\\Suite\\Quorel"), 1) > 32);
        QCOMPARE(LaunchInFolder(QStringLiteral("Absent.EXE"), QStringLiteral("MENU"),
                                QStringLiteral("C:\\Suite\\Quorel"), 1),
                 2);
        platform::setStartHook([](const platform::StartRequest&) { return false; });
        QVERIFY(LaunchInFolder(QStringLiteral("Quorel.EXE"), QString(),
                               QStringLiteral("C:\\Suite\\Quorel"), 1) <= 32);
        platform::setStartHook({});
        QCOMPARE(started.size(), 1);
        QCOMPARE(started[0].program, QStringLiteral("C:\\Suite\\Quorel\\Quorel"));
        QCOMPARE(started[0].arguments, QStringList{QStringLiteral("MENU")});
    }
};

QTEST_GUILESS_MAIN(TstFmxUtils)
#include "tst_fmxutils.moc"
