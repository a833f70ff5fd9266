// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempDrives.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/Ini.h"
#include "platform/Volumes.h"
#include "toolkit/DrivesWindow.h"
#include "toolkit/MessageBox.h"
#include "toolkit/StartUp.h"
#include "toolkit/SuiteSettings.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

const toolkit::VirtualDriveSetting Setting{QStringLiteral("SUBST.INI"), QStringLiteral("DISQUES"),
                                           QStringLiteral("Virtuel")};

// A home of the test's own, beside its drive table; HOME is put back after.
struct TempHome {
    QString path;
    QByteArray old = qgetenv("HOME");
    explicit TempHome(const QString& root) : path(root + QStringLiteral("/home")) {
        QDir().mkpath(path);
        qputenv("HOME", QFile::encodeName(path));
    }
    ~TempHome() { qputenv("HOME", old); }
};

// Boxes answered instead of shown.
struct Boxes {
    QStringList texts;
    toolkit::Answer answer = toolkit::Answer::Yes;
    Boxes() {
        toolkit::setMessageHook([this](const toolkit::MessageRequest& request) {
            texts << request.text;
            return request.buttons == toolkit::Buttons::Ok ? toolkit::Answer::Ok : answer;
        });
    }
    ~Boxes() { toolkit::setMessageHook({}); }
};

void writeText(const QString& hostPath, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(hostPath).path());
    QFile file(hostPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString userFile() {
    return toolkit::userSettingsFile(Setting);
}

QStringList rows(const QTreeWidget* list, int column) {
    QStringList result;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        result << list->topLevelItem(i)->text(column);
    return result;
}

} // namespace

class TestDrivesWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { platform::setMountLister([] { return QList<platform::MountPoint>(); }); }
    void cleanup() {
        platform::setMountLister({});
        toolkit::setFolderDialog({});
    }
    void firstStart_data();
    void firstStart();
    void virtualDriveRead_data();
    void virtualDriveRead();
    void addRemoveChoose();
    void removableStays();
    void listNamedForScreenReaders();
};

void TestDrivesWindow::firstStart_data() {
    QTest::addColumn<QString>("before"); // "none", "table", "blocked" (~/Pelmora is a file)
    QTest::addColumn<bool>("made");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("virtualDrive");
    QTest::newRow("first start") << "none" << true << QStringList{"c:", "x:"} << "X:";
    QTest::newRow("a table already") << "table" << false << QStringList{} << "";
    QTest::newRow("no room for the virtual disk")
        << "blocked" << true << QStringList{"c:"} << "";
}

void TestDrivesWindow::firstStart() {
    QFETCH(QString, before);
    QFETCH(bool, made);
    QFETCH(QStringList, entries);
    QFETCH(QString, virtualDrive);
    TempDrives drives;
    const TempHome home(drives.hostRoot());
    const QString table = platform::driveTableFolder();
    if (before != u"table")
        QVERIFY(QDir(table).removeRecursively());
    if (before == u"blocked")
        writeText(home.path + QStringLiteral("/Pelmora"), "a file in the way");

    const toolkit::FirstStart start = toolkit::prepareDriveTable(Setting);
    QCOMPARE(start.madeTable, made);
    QCOMPARE(QDir(table).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             entries);
    QCOMPARE(toolkit::readVirtualDrive(Setting, QStringLiteral("Z:\\nowhere")), virtualDrive);
    const QString text = toolkit::firstStartText(start);
    QVERIFY(!text.contains(QStringLiteral("ln -s")));
    if (!virtualDrive.isEmpty()) {
        const QString folder = home.path + QStringLiteral("/Pelmora/Disque virtuel");
        QCOMPARE(QFileInfo(table + QStringLiteral("/x:")).symLinkTarget(), folder);
        QVERIFY(QDir(folder).isEmpty());
        QVERIFY(text.contains(QStringLiteral("« ~/Pelmora/Disque virtuel » est le disque virtuel x:")));
        // A second start finds the table and changes nothing.
        QVERIFY(!toolkit::prepareDriveTable(Setting).madeTable);
    } else if (made) {
        QVERIFY(text.contains(QStringLiteral("n'a pas pu être préparé")));
        QVERIFY(!QFile::exists(userFile()));
    }
}

void TestDrivesWindow::virtualDriveRead_data() {
    QTest::addColumn<QByteArray>("own");   // the user's file; empty: none
    QTest::addColumn<QByteArray>("suite"); // the suite folder's
    QTest::addColumn<QString>("expected");
    QTest::newRow("the user's first") << QByteArray("[DISQUES]\r\nVirtuel=Y:\r\n")
                                      << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n") << "Y:";
    QTest::newRow("no file of the user's")
        << QByteArray() << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n") << "X:";
    QTest::newRow("the user chose none") << QByteArray("[disques]\nVirtuel=\n")
                                         << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n") << "";
    QTest::newRow("the user's names nothing")
        << QByteArray("[AUTRE]\r\nVirtuel=Y:\r\n") << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n")
        << "X:";
}

void TestDrivesWindow::virtualDriveRead() {
    QFETCH(QByteArray, own);
    QFETCH(QByteArray, suite);
    QFETCH(QString, expected);
    TempDrives drives;
    drives.addDrive(u'C');
    drives.writeFile(QStringLiteral("C:\\Suite\\SUBST.INI"), suite);
    if (!own.isEmpty())
        writeText(userFile(), own);
    QCOMPARE(toolkit::readVirtualDrive(Setting, QStringLiteral("C:\\Suite")), expected);
}

void TestDrivesWindow::addRemoveChoose() {
    TempDrives drives;
    const TempHome home(drives.hostRoot());
    drives.addDrive(u'C', home.path);
    const QString site = drives.hostRoot() + QStringLiteral("/Mon site");
    writeText(site + QStringLiteral("/index.htm"), "<html></html>");
    Boxes boxes;
    QString offered;
    toolkit::setFolderDialog([&](QWidget*, const QString& start) {
        offered = start;
        return site;
    });

    toolkit::DrivesWindow window(Setting, QStringLiteral("C:\\Suite"));
    QSignalSpy virtualChanged(&window, &toolkit::DrivesWindow::virtualDriveChanged);
    QCOMPARE(rows(window.List, 2), (QStringList{"Dossier personnel", "Tout le système"}));
    QVERIFY(window.List->topLevelItem(1)->text(0).endsWith(QStringLiteral("[Système]")));
    // z: is the system's: neither removed nor made the virtual disk.
    QVERIFY(window.selectDrive(u'Z'));
    QVERIFY(!window.BtRetirer->isEnabled());
    QVERIFY(!window.BtVirtuel->isEnabled());

    // A free letter is given to the chosen folder.
    window.setNewLetter(u'Y');
    window.BtAjouterClick();
    QCOMPARE(offered, home.path);
    QCOMPARE(platform::driveHostRoot(u'Y'), site);
    QCOMPARE(rows(window.List, 1).at(1), site);
    QVERIFY(window.CbLettre->findData(QStringLiteral("Y")) < 0);
    // The same folder a second time keeps its letter.
    window.setNewLetter(u'W');
    window.BtAjouterClick();
    QVERIFY(!platform::driveReady(u'W'));
    QCOMPARE(boxes.texts.last(), QStringLiteral("Ce dossier est déjà le lecteur y:."));

    // The chosen letter becomes the virtual disk, in the user's own file.
    QVERIFY(window.selectDrive(u'Y'));
    window.BtVirtuelClick();
    QCOMPARE(platform::readIniString(platform::toWindowsPath(userFile()), QStringLiteral("DISQUES"),
                                     QStringLiteral("Virtuel")),
             QStringLiteral("Y:"));
    QCOMPARE(virtualChanged.size(), 1);
    QCOMPARE(virtualChanged.last().at(0).toString(), QStringLiteral("Y:"));
    QCOMPARE(rows(window.List, 2).at(1), QStringLiteral("Disque virtuel"));
    QVERIFY(!window.BtVirtuel->isEnabled());

    // Asked "Non", the letter stays; "Oui" takes it away and leaves the folder.
    boxes.answer = toolkit::Answer::No;
    window.BtRetirerClick();
    QVERIFY(platform::driveReady(u'Y'));
    boxes.answer = toolkit::Answer::Yes;
    window.BtRetirerClick();
    QVERIFY(!platform::driveReady(u'Y'));
    QVERIFY(QFile::exists(site + QStringLiteral("/index.htm")));
    QCOMPARE(toolkit::readVirtualDrive(Setting, QStringLiteral("C:\\Suite")), QString());
    QCOMPARE(virtualChanged.size(), 2);
    QCOMPARE(rows(window.List, 0).size(), 2);
}

void TestDrivesWindow::removableStays() {
    TempDrives drives;
    const TempHome home(drives.hostRoot());
    const QString card = drives.hostRoot() + QStringLiteral("/media/CAMESCOPE");
    QDir().mkpath(card);
    platform::setMountLister([card] {
        platform::MountPoint mount;
        mount.rootPath = card;
        mount.device = "/dev/sdz1";
        mount.fileSystemType = "vfat";
        // No label can be read: the folder it is mounted in, named after it, tells it.
        mount.removableDevice = true;
        return QList<platform::MountPoint>{mount};
    });
    toolkit::DrivesWindow window(Setting, QStringLiteral("C:\\Suite"));
    QVERIFY(window.selectDrive(u'D'));
    QCOMPARE(window.List->currentItem()->text(0), QStringLiteral("d: [camescope]"));
    QCOMPARE(window.List->currentItem()->text(2), QStringLiteral("Support amovible"));
    QVERIFY(!window.BtRetirer->isEnabled());
    QVERIFY(!window.BtVirtuel->isEnabled());
    // Its letter is not offered to a folder.
    QVERIFY(window.CbLettre->findData(QStringLiteral("D")) < 0);
    QCOMPARE(platform::removeDrive(u'D'), int(platform::ErrInvalidDrive));
}

void TestDrivesWindow::listNamedForScreenReaders() {
    TempDrives drives;
    const TempHome home(drives.hostRoot());
    drives.addDrive(u'C', home.path);
    toolkit::DrivesWindow window(Setting, QStringLiteral("C:\\Suite"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window.List);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Lecteurs"));
}

QTEST_MAIN(TestDrivesWindow)
#include "tst_driveswindow.moc"
