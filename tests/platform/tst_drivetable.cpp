// The drive table of a first start, and the letters of removable volumes,
// listed through a mount list of the test's own.

#include "support/TempDrives.h"

#include "platform/Drives.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace platform;

namespace {

// Puts a mount list in place for the test's life; the letters given before
// are forgotten on both sides.
struct FakeMounts {
    QList<MountPoint> mounts;
    FakeMounts() {
        setMountLister([this] { return mounts; });
        removableDrives();
    }
    ~FakeMounts() {
        mounts.clear();
        removableDrives();
        setMountLister({});
    }
};

// "d:CARTE e:CLE": each removable drive's letter and its mount folder's name.
QString lettersText() {
    QStringList parts;
    for (const RemovableDrive& drive : removableDrives())
        parts << QString(drive.letter.toLower()) + u':' +
                     QFileInfo(drive.mount.rootPath).fileName();
    return parts.join(u' ');
}

} // namespace

class TestDriveTable : public QObject {
    Q_OBJECT

private slots:
    void firstStartTable_data();
    void firstStartTable();
    void removableLetters_data();
    void removableLetters();
    void removableDriveIsADrive();
    void removableMounts_data();
    void removableMounts();
};

void TestDriveTable::firstStartTable_data() {
    QTest::addColumn<QString>("before"); // "none", "empty" or "x" (a table with x:)
    QTest::addColumn<bool>("created");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("relativeHome"); // HOME as a relative path
    QTest::newRow("no table") << "none" << true << QStringList{"c:"} << false;
    QTest::newRow("an empty table") << "empty" << false << QStringList{} << false;
    QTest::newRow("a table of the user's") << "x" << false << QStringList{"x:"} << false;
    QTest::newRow("relative HOME") << "none" << true << QStringList{"c:"} << true;
}

void TestDriveTable::firstStartTable() {
    QFETCH(QString, before);
    QFETCH(bool, created);
    QFETCH(QStringList, entries);
    QFETCH(bool, relativeHome);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldDrives = qgetenv("PELMORA_DRIVES");
    qputenv("HOME", relativeHome ? QByteArray("maison") : QFile::encodeName(home.path()));
    // A relative HOME stands for nothing: c: is the account's own home folder.
    const QString cTarget =
        relativeHome ? QFile::decodeName(::getpwuid(::getuid())->pw_dir) : home.path();
    const QString table = home.path() + QStringLiteral("/config/pelmora/drives");
    qputenv("PELMORA_DRIVES", QFile::encodeName(table));
    if (before != u"none")
        QVERIFY(QDir().mkpath(table));
    if (before == u"x")
        QVERIFY(QFile::link(home.path(), table + QStringLiteral("/x:")));

    QCOMPARE(createDefaultDriveTable(), created);
    QCOMPARE(QDir(table).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             entries);
    if (created) {
        QCOMPARE(QFile::symLinkTarget(table + QStringLiteral("/c:")), cTarget);
        QCOMPARE(driveHostRoot(u'c'), cTarget);
        QCOMPARE(driveHostRoot(u'z'), QStringLiteral("/"));
        // The user repoints c:; a second start keeps it.
        QVERIFY(QFile::remove(table + QStringLiteral("/c:")));
        QVERIFY(QFile::link(QStringLiteral("/tmp"), table + QStringLiteral("/c:")));
        QVERIFY(!createDefaultDriveTable());
        QCOMPARE(QFileInfo(table + QStringLiteral("/c:")).symLinkTarget(), QStringLiteral("/tmp"));
    }
    qputenv("HOME", oldHome);
    qputenv("PELMORA_DRIVES", oldDrives);
}

void TestDriveTable::removableLetters_data() {
    // Each step: "+l" defines drive l in the table, a name mounts (or keeps
    // mounted) a removable volume of that name; volumes not named go away.
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("first free from d") << "cx" << QStringList{"CARTE"} << QStringList{"d:CARTE"};
    QTest::newRow("table letters kept")
        << "cde" << QStringList{"CARTE", "CARTE CLE"} << QStringList{"f:CARTE", "f:CARTE g:CLE"};
    QTest::newRow("stable while mounted")
        << "c" << QStringList{"A", "A B", "B", "B C", "A B C"}
        << QStringList{"d:A", "d:A e:B", "e:B", "d:C e:B", "d:C e:B f:A"};
    QTest::newRow("a volume goes away")
        << "c" << QStringList{"CARTE", "", "CLE"} << QStringList{"d:CARTE", "", "d:CLE"};
    QTest::newRow("the table takes a letter back")
        << "c" << QStringList{"CARTE", "+d CARTE"} << QStringList{"d:CARTE", "e:CARTE"};
    QTest::newRow("no letter left")
        << "cdefghijklmnopqrstuvw" << QStringList{"A B C"} << QStringList{"x:A y:B"};
}

void TestDriveTable::removableLetters() {
    QFETCH(QString, table);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    TempDrives drives;
    QVERIFY(drives.isValid());
    for (QChar letter : table)
        drives.addDrive(letter);
    FakeMounts fake;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        fake.mounts.clear();
        for (const QString& token : steps[i].split(u' ', Qt::SkipEmptyParts)) {
            if (token.startsWith(u'+')) {
                drives.addDrive(token.at(1));
                continue;
            }
            const QString root = drives.hostRoot() + QStringLiteral("/media/") + token;
            QDir().mkpath(root);
            fake.mounts << MountPoint{root, "/dev/sdz1", "vfat", token, true};
        }
        QCOMPARE(lettersText(), expected[i]);
    }
}

void TestDriveTable::removableDriveIsADrive() {
    TempDrives drives;
    QVERIFY(drives.isValid());
    drives.addDrive(u'C');
    FakeMounts fake;
    const QString root = drives.hostRoot() + QStringLiteral("/carte");
    QVERIFY(QDir().mkpath(root + QStringLiteral("/DCIM")));
    fake.mounts << MountPoint{root, "/dev/mmcblk0p1", "exfat", QStringLiteral("CAMESCOPE"), true};

    QCOMPARE(definedDrives(), (QList<QChar>{u'C', u'D', u'Z'}));
    QCOMPARE(driveHostRoot(u'd'), root);
    QVERIFY(driveReady(u'D'));
    QCOMPARE(toHostPath(QStringLiteral("D:\\dcim")), root + QStringLiteral("/DCIM"));
    QCOMPARE(toWindowsPath(root + QStringLiteral("/DCIM")), QStringLiteral("D:\\DCIM"));
    const Volume volume = volumeOf(u'D');
    QCOMPARE(volume.kind, DriveKind::Removable);
    QCOMPARE(volume.label, QStringLiteral("CAMESCOPE"));

    // Taken out: the letter and its paths are gone, the host path is z:'s again.
    fake.mounts.clear();
    QCOMPARE(definedDrives(), (QList<QChar>{u'C', u'Z'}));
    QVERIFY(driveHostRoot(u'D').isEmpty());
    QVERIFY(toWindowsPath(root).startsWith(QStringLiteral("Z:\\")));
}

void TestDriveTable::removableMounts_data() {
    QTest::addColumn<QString>("root"); // "$USER" stands for the user's name
    QTest::addColumn<bool>("removableDevice");
    QTest::addColumn<bool>("removable");
    QTest::newRow("in /media") << "/media/$USER/CARTE" << false << true;
    QTest::newRow("in /run/media") << "/run/media/$USER/CARTE" << false << true;
    QTest::newRow("another user's media") << "/media/$USER-autre/CARTE" << false << false;
    QTest::newRow("removable device elsewhere") << "/mnt/cle" << true << true;
    QTest::newRow("fixed disk") << "/srv/donnees" << false << false;
    QTest::newRow("the media folder itself") << "/run/media/$USER" << false << false;
    QTest::newRow("system started from a key") << "/" << true << false;
}

void TestDriveTable::removableMounts() {
    QFETCH(QString, root);
    QFETCH(bool, removableDevice);
    QFETCH(bool, removable);
    root.replace(QStringLiteral("$USER"), QFile::decodeName(::getpwuid(::getuid())->pw_name));
    QCOMPARE(isRemovableMount(MountPoint{root, "/dev/sdb1", "vfat", {}, removableDevice}),
             removable);
}

QTEST_GUILESS_MAIN(TestDriveTable)
#include "tst_drivetable.moc"
