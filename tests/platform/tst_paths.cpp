// Windows paths over the drive table: string rules, drive lookup, the
// working folder per drive.

#include "support/TempDrives.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

using namespace platform;

namespace {

QString canonical(const QString& hostPath) {
    return QFileInfo(hostPath).canonicalFilePath();
}

QString windowsForm(const QString& hostPath) {
    return "Z:" + QString(canonical(hostPath)).replace(u'/', u'\\');
}

} // namespace

class TestPaths : public QObject {
    Q_OBJECT

private slots:
    void stringRules_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("driveRoot");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("root") << "C:\\" << true << "C:\\"
                              << "";
        QTest::newRow("drive alone") << "C:" << false << "C:"
                                     << "";
        QTest::newRow("file") << "C:\\Suite\\Tavrin.htm" << false << "C:\\Suite\\"
                              << "Tavrin.htm";
        QTest::newRow("relative to drive") << "D:VASK.EXE" << false << "D:"
                                           << "VASK.EXE";
        QTest::newRow("double backslash") << "D:\\\\Strovan.2005" << false << "D:\\\\"
                                          << "Strovan.2005";
        QTest::newRow("accents") << "C:\\Mes Vidéos\\Été.MPG" << false << "C:\\Mes Vidéos\\"
                                 << "Été.MPG";
    }
    void stringRules() {
        QFETCH(QString, path);
        QFETCH(bool, driveRoot);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QCOMPARE(winpath::isDriveRoot(path), driveRoot);
        QCOMPARE(winpath::folderPart(path), folder);
        QCOMPARE(winpath::fileName(path), name);
    }

    void expand_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        // Current folders: C:\Suite\Strovan.2005 (the working folder) and D:\Docs.
        QTest::newRow("absolute") << "D:\\Docs\\x"
                                  << "D:\\Docs\\x";
        QTest::newRow("dots") << "C:\\a\\.\\b\\..\\c\\"
                              << "C:\\a\\c";
        QTest::newRow("above the root") << "C:\\..\\..\\a"
                                        << "C:\\a";
        QTest::newRow("double backslash") << "D:\\\\Strovan.2005"
                                          << "D:\\Strovan.2005";
        QTest::newRow("relative") << "VASK.EXE"
                                  << "C:\\Suite\\Strovan.2005\\VASK.EXE";
        QTest::newRow("parent") << "..\\SUBST.INI"
                                << "C:\\Suite\\SUBST.INI";
        QTest::newRow("current drive's root") << "\\SUBST.INI"
                                              << "C:\\SUBST.INI";
        QTest::newRow("other drive's current") << "d:rel\\x"
                                               << "D:\\Docs\\rel\\x";
        QTest::newRow("drive alone") << "D:"
                                     << "D:\\Docs";
        QTest::newRow("drive never made current") << "E:rel"
                                                  << "E:\\rel";
        QTest::newRow("slashes") << "D:/Docs//x/"
                                 << "D:\\Docs\\x";
        QTest::newRow("slash climbing above the root") << "D:\\../outside/x"
                                                       << "D:\\outside\\x";
        QTest::newRow("relative climbing above the root") << "..\\..\\../..\\x"
                                                          << "C:\\x";
        QTest::newRow("slash as the current drive's root") << "/SUBST.INI"
                                                           << "C:\\SUBST.INI";
    }
    void expand() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addDrive(u'D');
        drives.makeFolder("C:\\Suite\\Strovan.2005");
        drives.makeFolder("D:\\Docs");
        platform::setCurrentFolder("D:\\Docs");
        platform::setCurrentFolder("C:\\Suite\\Strovan.2005");
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(platform::absolutePath(path), expected);
    }

    void tableWithoutDrives_data() {
        QTest::addColumn<bool>("tableExists");
        QTest::newRow("absent") << false;
        QTest::newRow("empty") << true;
    }
    void tableWithoutDrives() {
        TempDrives drives; // restores PELMORA_DRIVES afterwards
        QFETCH(bool, tableExists);
        if (!tableExists)
            qputenv("PELMORA_DRIVES", QFile::encodeName(drives.hostRoot() + "/no table"));
        resetWorkingFolders();

        QCOMPARE(definedDrives(), QList<QChar>{u'Z'});
        QVERIFY(!driveReady(u'C'));
        int error = 0;
        QCOMPARE(toHostPath("C:\\Suite", &error), QString());
        QCOMPARE(error, int(ErrInvalidDrive));
        QVERIFY(!fileExists("C:\\Suite\\Strovan.EXE"));
        QCOMPARE(platform::setCurrentFolder("C:\\"), int(ErrInvalidDrive));
        // Every host path still has a Windows form.
        QCOMPARE(toWindowsPath(drives.hostRoot()), windowsForm(drives.hostRoot()));
    }

    void brokenLink() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addBrokenDrive(u'Q');
        QVERIFY(definedDrives().contains(u'Q'));
        QVERIFY(!driveReady(u'q'));
        QVERIFY(driveReady(u'c'));
        for (const char* path : {"Q:\\Video\\a.MOD", "q:\\"}) {
            int error = 0;
            QCOMPARE(toHostPath(path, &error), QString());
            QCOMPARE(error, int(ErrNotReady));
        }
        QVERIFY(!folderExists("Q:\\"));
        QCOMPARE(platform::setCurrentFolder("Q:\\"), int(ErrNotReady));
    }

    void zDrive() {
        TempDrives drives;
        const QString tree = canonical(drives.hostRoot());
        QCOMPARE(toHostPath("Z:\\"), QStringLiteral("/"));
        QCOMPARE(toHostPath(windowsForm(tree) + "\\drives"), tree + "/drives");
        QCOMPARE(toWindowsPath("/"), QStringLiteral("Z:\\"));

        // Once the table defines z:, it no longer stands for "/".
        const QString z = drives.addDrive(u'Z');
        QFile::link(tree, z + "/tree");
        QCOMPARE(toHostPath("Z:\\"), z);
        QCOMPARE(toHostPath("z:\\tree\\drives"), z + "/tree/drives");
        QCOMPARE(toWindowsPath(z), QStringLiteral("Z:\\"));
    }

    void toHostPathLookup_data() {
        QTest::addColumn<QString>("winPath");
        QTest::addColumn<QString>("expected"); // below C:'s host root
        QTest::addColumn<int>("error");
        QTest::newRow("exact") << "C:\\Suite\\Strovan.2005\\Strovan"
                               << "Suite/Strovan.2005/Strovan" << 0;
        QTest::newRow("other case") << "c:\\SUITE\\strovan.2005\\STROVAN"
                                    << "Suite/Strovan.2005/Strovan" << 0;
        QTest::newRow("accents, other case") << "C:\\MES VIDÉOS\\été 2005.mod"
                                             << "Mes Vidéos/Été 2005.MOD" << 0;
        QTest::newRow("exact first (upper)") << "C:\\Cas\\README.TXT"
                                             << "Cas/README.TXT" << 0;
        QTest::newRow("exact first (mixed)") << "C:\\Cas\\Readme.txt"
                                             << "Cas/Readme.txt" << 0;
        QTest::newRow("several in other case: the least") << "C:\\cas\\readme.TXT"
                                                          << "Cas/README.TXT" << 0;
        QTest::newRow("sign folding to ASCII") << "C:\\cas\\k.txt"
                                               << "Cas/\u212A.txt" << 0;
        QTest::newRow("ASCII name, sign on disk") << "C:\\Cas\\MASSE.TXT"
                                                  << "Cas/Ma\u017F\u017Fe.txt" << 0;
        QTest::newRow("new name as written") << "C:\\suite\\Nouveau Fichier.txt"
                                             << "Suite/Nouveau Fichier.txt" << 0;
        QTest::newRow("double backslash") << "C:\\\\Suite\\\\SUBST.INI"
                                          << "Suite/SUBST.INI" << 0;
        QTest::newRow("root") << "C:\\"
                              << "" << 0;
        QTest::newRow("missing folder on the way") << "C:\\Absent\\x"
                                                   << "" << int(ErrPathNotFound);
        QTest::newRow("unknown drive") << "R:\\x.txt"
                                       << "" << int(ErrInvalidDrive);
    }
    void toHostPathLookup() {
        TempDrives drives;
        const QString root = drives.addDrive(u'C');
        for (const char* path :
             {"C:\\Suite\\Strovan.2005\\Strovan", "C:\\Suite\\SUBST.INI",
              "C:\\Mes Vidéos\\Été 2005.MOD", "C:\\Cas\\README.TXT", "C:\\Cas\\Readme.txt",
              "C:\\Cas\\\u212A.txt", "C:\\Cas\\Ma\u017F\u017Fe.txt"})
            drives.writeFile(QString::fromUtf8(path), "x");
        QFETCH(QString, winPath);
        QFETCH(QString, expected);
        QFETCH(int, error);
        int got = -1;
        const QString host = toHostPath(winPath, &got);
        QCOMPARE(got, error);
        QCOMPARE(host, error ? QString() : expected.isEmpty() ? root : root + u'/' + expected);
    }

    void longNamesKeptWhole() {
        TempDrives drives;
        const QString root = drives.addDrive(u'C');
        // Four folders of 100 characters and a 200-character name.
        QString winFolder = QStringLiteral("C:");
        for (int i = 0; i < 4; ++i)
            winFolder += u'\\' + QString(99, QChar(u'a' + i)) + u'é';
        drives.makeFolder(winFolder);
        const QString name = QString(196, u'n') + ".txt";
        const QString winFile = winFolder + u'\\' + name;
        QVERIFY(winFile.size() > 600);

        int error = -1;
        File file = File::create(winFile.toUpper(), &error);
        QCOMPARE(error, 0);
        QCOMPARE(file.write("whole", 5, &error), qint64(5));
        QCOMPARE(file.close(), 0);
        // Created under the name as written; found again in any case.
        const QString host = toHostPath(winFile, &error);
        QCOMPARE(error, 0);
        QVERIFY(host.startsWith(root));
        QCOMPARE(QFileInfo(host).fileName(), name.toUpper());
        QCOMPARE(drives.readFile(winFile.toLower()), QByteArray("whole"));
        QCOMPARE(toWindowsPath(host), winFolder + u'\\' + name.toUpper());
    }

    void toWindowsPathLongestPrefix() {
        TempDrives drives;
        const QString c = canonical(drives.addDrive(u'C'));
        // D: lies inside C:; E: and F: are the same folder.
        const QString d = canonical(drives.makeFolder("C:\\Suite\\racineCD"));
        drives.addDrive(u'D', d);
        drives.makeFolder("C:\\Partage");
        drives.addDrive(u'F', c + "/Partage");
        drives.addDrive(u'E', c + "/Partage");

        QCOMPARE(toWindowsPath(c), QStringLiteral("C:\\"));
        QCOMPARE(toWindowsPath(c + "/Suite/SUBST.INI"), QStringLiteral("C:\\Suite\\SUBST.INI"));
        QCOMPARE(toWindowsPath(d), QStringLiteral("D:\\"));
        QCOMPARE(toWindowsPath(d + "/Autorun.inf"), QStringLiteral("D:\\Autorun.inf"));
        // A name that merely begins like the drive's folder is not inside it.
        QCOMPARE(toWindowsPath(d + "2/x"), QStringLiteral("C:\\Suite\\racineCD2\\x"));
        QCOMPARE(toWindowsPath(c + "/Partage/a b"), QStringLiteral("E:\\a b"));
        QCOMPARE(toWindowsPath(drives.hostRoot() + "/drives/d:/x"), QStringLiteral("D:\\x"));
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("winPath");
        QTest::newRow("root") << "C:\\";
        QTest::newRow("folder") << "C:\\Suite\\Strovan.2005";
        QTest::newRow("blanks and accents") << "C:\\Mes Vidéos\\Été 2005.MOD";
        QTest::newRow("other drive") << "D:\\Autorun.inf";
        QTest::newRow("not yet created") << "C:\\Suite\\Nouveau.txt";
    }
    void roundTrip() {
        TempDrives drives;
        // C:'s link goes through a second link, as a drive set up on a linked folder.
        QDir().mkpath(drives.hostRoot() + "/disque");
        QFile::link(drives.hostRoot() + "/disque", drives.hostRoot() + "/alias");
        drives.addDrive(u'C', drives.hostRoot() + "/alias");
        drives.addDrive(u'D');
        drives.makeFolder("C:\\Suite\\Strovan.2005");
        drives.writeFile("C:\\Mes Vidéos\\Été 2005.MOD", "x");
        drives.writeFile("D:\\Autorun.inf", "x");
        QFETCH(QString, winPath);
        int error = -1;
        const QString host = toHostPath(winPath, &error);
        QCOMPARE(error, 0);
        QCOMPARE(toWindowsPath(host), winPath);
    }

    void setCurrentFolder_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("hostBelowC");
        // Starting from C:\Suite.
        QTest::newRow("absolute") << "C:\\Suite\\Strovan.2005"
                                  << "C:\\Suite\\Strovan.2005"
                                  << "/Suite/Strovan.2005";
        QTest::newRow("relative") << "Strovan.2005\\"
                                  << "C:\\Suite\\Strovan.2005"
                                  << "/Suite/Strovan.2005";
        QTest::newRow("parent") << ".."
                                << "C:\\"
                                << "";
        QTest::newRow("other case") << "c:\\SUITE\\strovan.2005"
                                    << "C:\\SUITE\\strovan.2005"
                                    << "/Suite/Strovan.2005";
        QTest::newRow("accents") << "Mes Vidéos"
                                 << "C:\\Suite\\Mes Vidéos"
                                 << "/Suite/Mes Vidéos";
        QTest::newRow("double backslash") << "C:\\\\Suite"
                                          << "C:\\Suite"
                                          << "/Suite";
    }
    void setCurrentFolder() {
        TempDrives drives;
        const QString c = canonical(drives.addDrive(u'C'));
        drives.makeFolder("C:\\Suite\\Strovan.2005");
        drives.makeFolder("C:\\Suite\\Mes Vidéos");
        platform::setCurrentFolder("C:\\Suite");
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(QString, hostBelowC);
        platform::setCurrentFolder(path);
        QCOMPARE(currentFolder(), expected);
        QCOMPARE(driveCurrentFolder(u'C'), expected);
        QCOMPARE(QDir::currentPath(), c + hostBelowC); // the host's folder moves along
    }

    void currentFolderPerDrive() {
        TempDrives drives;
        drives.addDrive(u'C');
        const QString d = canonical(drives.addDrive(u'D'));
        drives.makeFolder("C:\\Suite");
        drives.makeFolder("D:\\Docs\\Sous");
        platform::setCurrentFolder("C:\\Suite");
        platform::setCurrentFolder("D:\\Docs");
        QCOMPARE(currentFolder(), QStringLiteral("D:\\Docs"));
        QCOMPARE(driveCurrentFolder(u'c'), QStringLiteral("C:\\Suite"));
        QCOMPARE(driveCurrentFolder(u'E'), QStringLiteral("E:\\"));

        // "C:" returns to C's own current folder; "D:Sous" is below D's.
        platform::setCurrentFolder("C:");
        QCOMPARE(currentFolder(), QStringLiteral("C:\\Suite"));
        platform::setCurrentFolder("D:Sous");
        QCOMPARE(currentFolder(), QStringLiteral("D:\\Docs\\Sous"));
        QCOMPARE(QDir::currentPath(), d + "/Docs/Sous");
        QCOMPARE(driveCurrentFolder(u'C'), QStringLiteral("C:\\Suite"));
    }

    void setCurrentFolderFails_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("code");
        QTest::newRow("missing") << "C:\\Suite\\Absent" << int(ErrPathNotFound);
        QTest::newRow("missing on the way") << "Absent\\Sous" << int(ErrPathNotFound);
        QTest::newRow("a file") << "C:\\Suite\\SUBST.INI" << int(ErrDirectory);
        QTest::newRow("below a file") << "SUBST.INI\\Sous" << int(ErrPathNotFound);
        QTest::newRow("unknown drive") << "R:\\" << int(ErrInvalidDrive);
        QTest::newRow("drive not ready") << "Q:\\" << int(ErrNotReady);
        QTest::newRow("empty") << "" << int(ErrPathNotFound);
    }
    void setCurrentFolderFails() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addBrokenDrive(u'Q');
        drives.writeFile("C:\\Suite\\SUBST.INI", "x");
        platform::setCurrentFolder("C:\\Suite");
        const QString hostBefore = QDir::currentPath();
        QFETCH(QString, path);
        QFETCH(int, code);
        QCOMPARE(platform::setCurrentFolder(path), code);
        QCOMPARE(currentFolder(), QStringLiteral("C:\\Suite"));
        QCOMPARE(driveCurrentFolder(u'C'), QStringLiteral("C:\\Suite"));
        QCOMPARE(QDir::currentPath(), hostBefore);
    }

    // Whatever the path, its host form lies inside its drive's folder: the
    // separators and dots of a Windows path never reach the host's.
    void hostPathsStayInsideTheirDrive() {
        TempDrives drives;
        drives.addDrive(u'C');
        const QString root = drives.addDrive(u'X');
        drives.makeFolder("X:\\a\\b");
        const QString outside = drives.writeFile("C:\\precious.txt", "precious");
        platform::setCurrentFolder("X:\\a\\b");
        const QStringList names{"..", ".", "a", "B", "", "disk_c", "precious.txt"};
        QRandomGenerator gen(8);
        for (int i = 0; i < 3000; ++i) {
            QString path = QStringList{"X:\\", "X:", "\\", "", "X:/"}[i % 5];
            for (int n = gen.bounded(1, 9); n > 0; --n)
                path += names[gen.bounded(names.size())] + (gen.bounded(2) ? u'/' : u'\\');
            path.chop(gen.bounded(2)); // with or without a last separator
            for (QString host : {toHostPath(path), toHostPathExactName(path)}) {
                host = QDir::cleanPath(host); // "/.." climbs on the host
                QVERIFY2(host.isEmpty() || host == root || host.startsWith(root + u'/'),
                         qPrintable(path + " -> " + host));
            }
            deleteFile(path);
        }
        QCOMPARE(QFile(outside).exists(), true);
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
