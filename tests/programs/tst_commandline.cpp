// --help and --version of both programs: answered on standard output before
// any window, without a display, and without making a drive table.

#include "common/Version.h"
#include "converter/StartPlace.h"
#include "toolkit/SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void infoOptions_data();
    void infoOptions();
    void oneConverterAtATime();
};

void TestCommandLine::infoOptions_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected"); // lines or parts the output must hold
    const QString pelmora = QStringLiteral(PELMORA_EXE);
    const QString strovan = QStringLiteral(STROVAN_EXE);
    const QString version = QStringLiteral(PELMORA_VERSION);
    QTest::newRow("pelmora --version")
        << pelmora << QStringList{"--version"} << QStringList{"Pelmora " + version + "\n"};
    QTest::newRow("strovan -v") << strovan << QStringList{"-v"}
                                << QStringList{"Strovan " + version + "\n"};
    QTest::newRow("strovan MENU --version")
        << strovan << QStringList{"MENU", "--version"} << QStringList{"Strovan " + version + "\n"};
    QTest::newRow("pelmora --help")
        << pelmora << QStringList{"--help"} << QStringList{"--help", "--version", "PELMORA_DRIVES"};
    QTest::newRow("strovan -h, Qt's own option beside it")
        << strovan << QStringList{"-platform", "xcb", "-h"}
        << QStringList{"--help", "--version", "MENU", ".MOD"};
}

void TestCommandLine::infoOptions() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString table = home.path() + QStringLiteral("/drives");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("PELMORA_DRIVES"), table);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const QString& part : expected)
        QVERIFY2(output.contains(part), qPrintable(output));
    if (expected.size() == 1)
        QCOMPARE(output, expected.first()); // the version line and nothing else
    QVERIFY(!QDir(table).exists());
}

// A second converter started while one runs brings the first forward and
// ends at once; the first goes on.
void TestCommandLine::oneConverterAtATime() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString folder = home.path() + QStringLiteral("/Suite/Strovan.2005");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/drives"))); // no first start
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("PELMORA_DRIVES"), home.path() + QStringLiteral("/drives"));
    environment.insert(QStringLiteral("HOME"), home.path());
    const auto start = [&](QProcess& process) {
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral(STROVAN_EXE), {QStringLiteral("MENU")});
        return process.waitForStarted(30000);
    };
    QProcess first;
    QVERIFY(start(first));
    // Ready once it answers where a second start will ask.
    QTRY_VERIFY_WITH_TIMEOUT(toolkit::bringInstanceForward(strovan::ConverterInstanceKey(folder)),
                             60000);
    QProcess second;
    QVERIFY(start(second));
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
