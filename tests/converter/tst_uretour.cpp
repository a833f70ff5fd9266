#include "TempDrives.h"

#include "converter/uRetour.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/WorkingFolder.h"
#include "toolkit/SingleMenu.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

namespace {

// The menu program as the host holds it: a backslash, its name, no extension.
const QString MenuHost =
    u'\\' + QFileInfo(QString::fromUtf16(strovan::MenuProgram)).completeBaseName();

// Records the programs that would have been started.
struct StartRecorder {
    QList<platform::StartRequest> starts;
    StartRecorder() {
        platform::setStartHook([this](const platform::StartRequest& request) {
            starts << request;
            return true;
        });
    }
    ~StartRecorder() { platform::setStartHook({}); }
};

} // namespace

class TestRetour : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void parentFolder_data();
    void parentFolder();
    void returnToMenu_data();
    void returnToMenu();
    void belowADriveRootStartsNothing_data();
    void belowADriveRootStartsNothing();
    void pressedTwiceStartsTwice();
    void missingMenuProgram();
    void aRunningMenuComesForwardInstead_data();
    void aRunningMenuComesForwardInstead();

private:
    void installMenu(const QString& suiteFolder);
    std::unique_ptr<TempDrives> m_drives;
};

void TestRetour::init() {
    m_drives = std::make_unique<TempDrives>();
    QVERIFY(m_drives->isValid());
    m_drives->addDrive(u'C');
}

void TestRetour::cleanup() {
    m_drives.reset();
}

void TestRetour::installMenu(const QString& suiteFolder) {
    const QString host = m_drives->writeFile(suiteFolder + MenuHost, "#!/bin/sh\n");
    QVERIFY(QFile::setPermissions(host, QFile::permissions(host) | QFile::ExeOwner));
}

void TestRetour::parentFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("parent");
    QTest::newRow("tool folder") << "C:\\Suite\\Strovan.2005"
                                 << "C:\\Suite";
    QTest::newRow("trailing backslash") << "C:\\Suite\\"
                                        << "C:\\Suite";
    QTest::newRow("below the root") << "C:\\Suite"
                                    << "";
    QTest::newRow("root") << "C:\\"
                          << "";
    QTest::newRow("drive only") << "C:"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("short name") << "C:\\a\\b"
                                << "C:\\a";
    QTest::newRow("blank") << "C:\\My Suite\\Strovan.2005"
                           << "C:\\My Suite";
    QTest::newRow("network share") << "\\\\serveur\\partage\\Suite"
                                   << "\\\\serveur\\partage";
    const QString deep = QStringLiteral("C:\\") + QString(300, u'a');
    QTest::newRow("longer than 255") << deep + QStringLiteral("\\Strovan.2005") << deep;
}

void TestRetour::parentFolder() {
    QFETCH(QString, path);
    QFETCH(QString, parent);
    QCOMPARE(strovan::ParentFolder(path), parent);
}

void TestRetour::returnToMenu_data() {
    QTest::addColumn<QString>("suite");
    QTest::newRow("plain") << "C:\\Suite";
    // A blank must not let another program be taken for the menu.
    QTest::newRow("blank") << "C:\\My Suite";
    QTest::newRow("deep") << QStringLiteral("C:\\") + QString(120, u'x') + u'\\' +
                                 QString(150, u'y');
}

void TestRetour::returnToMenu() {
    QFETCH(QString, suite);
    const QString start = suite + QStringLiteral("\\Strovan.2005");
    m_drives->makeFolder(start);
    installMenu(suite);
    m_drives->writeFile(QStringLiteral("C:\\My"), "#!/bin/sh\n"); // the wrong program
    platform::setCurrentFolder(start);
    StartRecorder recorder;
    strovan::ReturnToMenu(start);
    QCOMPARE(recorder.starts.size(), 1);
    const platform::StartRequest& request = recorder.starts.first();
    QCOMPARE(request.program, suite + MenuHost);
    QCOMPARE(request.arguments, QStringList());
    QCOMPARE(request.workingFolder, suite);
    QCOMPARE(platform::currentFolder(), suite);
}

void TestRetour::belowADriveRootStartsNothing_data() {
    QTest::addColumn<QString>("start");
    QTest::newRow("below the root") << "C:\\Strovan.2005";
    QTest::newRow("the root") << "C:\\";
}

void TestRetour::belowADriveRootStartsNothing() {
    QFETCH(QString, start);
    m_drives->makeFolder(start);
    installMenu(QStringLiteral("C:"));
    platform::setCurrentFolder(start);
    StartRecorder recorder;
    try {
        strovan::ReturnToMenu(start);
        QFAIL("an empty parent folder was made current");
    } catch (const platform::IoError& e) {
        // The empty parent: the system's code for a bad name, and its message.
        QCOMPARE(e.code(), 3);
        QCOMPARE(e.message(), QStringLiteral("Nom de fichier incorrect"));
    }
    QVERIFY(recorder.starts.isEmpty());
    QCOMPARE(platform::currentFolder(), start);
}

void TestRetour::pressedTwiceStartsTwice() {
    m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    installMenu(QStringLiteral("C:\\Suite"));
    platform::setCurrentFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    StartRecorder recorder;
    strovan::ReturnToMenu(QStringLiteral("C:\\Suite\\Strovan.2005"));
    strovan::ReturnToMenu(QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(recorder.starts.size(), 2);
}

void TestRetour::missingMenuProgram() {
    // Nothing to start: the user is told, and the converter stays open.
    m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    platform::setCurrentFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    StartRecorder recorder;
    try {
        strovan::ReturnToMenu(QStringLiteral("C:\\Suite\\Strovan.2005"));
        QFAIL("a missing menu program passed in silence");
    } catch (const platform::Error& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Le programme de menu C:\\Suite\\VASK.EXE est introuvable"));
    }
    QVERIFY(recorder.starts.isEmpty());
    QCOMPARE(platform::currentFolder(), QStringLiteral("C:\\Suite"));
}

void TestRetour::aRunningMenuComesForwardInstead_data() {
    QTest::addColumn<QString>("menuFolder"); // where a menu runs; empty: none runs
    QTest::addColumn<int>("starts");         // for two presses
    QTest::addColumn<int>("forward");        // times the running menu came forward
    QTest::newRow("menu of this suite") << "C:\\Suite" << 0 << 2;
    QTest::newRow("menu of another suite") << "C:\\Autre" << 2 << 0;
    QTest::newRow("no menu") << "" << 2 << 0;
}

void TestRetour::aRunningMenuComesForwardInstead() {
    QFETCH(QString, menuFolder);
    QFETCH(int, starts);
    QFETCH(int, forward);
    m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    m_drives->makeFolder(QStringLiteral("C:\\Autre"));
    installMenu(QStringLiteral("C:\\Suite"));
    std::unique_ptr<toolkit::MenuServer> menu;
    int cameForward = 0;
    if (!menuFolder.isEmpty()) {
        menu = std::make_unique<toolkit::MenuServer>(platform::toHostPath(menuFolder));
        QVERIFY(menu->isListening());
        connect(menu.get(), &toolkit::MenuServer::comeForward, this, [&] { ++cameForward; });
    }
    platform::setCurrentFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    StartRecorder recorder;
    strovan::ReturnToMenu(QStringLiteral("C:\\Suite\\Strovan.2005"));
    strovan::ReturnToMenu(QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(recorder.starts.size(), starts);
    QTRY_COMPARE(cameForward, forward);
    // The working folder is the suite folder either way.
    QCOMPARE(platform::currentFolder(), QStringLiteral("C:\\Suite"));
}

QTEST_GUILESS_MAIN(TestRetour)
#include "tst_uretour.moc"
