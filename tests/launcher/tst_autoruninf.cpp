#include "AutorunIni.h"
#include "launcher/AutorunInf.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "TempDrives.h"

#include <QDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace pelmora;

namespace {

// Makes every file write of this process fail past limit bytes, as a full
// disk would, for as long as the object lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

QStringList rootNames(const QString& hostRoot) {
    return QDir(hostRoot).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TstAutorunInf : public QObject {
    Q_OBJECT

private slots:
    void linesNameTheIconWithoutItsFolder_data() {
        QTest::addColumn<QString>("iconPath");
        QTest::addColumn<QString>("iconLine");
        QTest::newRow("icon in the suite") << "C:\\Suite\\ico\\site.ico"
                                           << "ICON=site.ico";
        QTest::newRow("icon at a root") << "X:\\site.ico"
                                        << "ICON=site.ico";
        QTest::newRow("drive-relative") << "D:site.ico"
                                        << "ICON=site.ico";
        QTest::newRow("no icon") << ""
                                 << "ICON=";
    }
    void linesNameTheIconWithoutItsFolder() {
        QFETCH(QString, iconPath);
        QFETCH(QString, iconLine);
        const QStringList expected{"[Autorun]", "OPEN=Zolvex.exe", iconLine, "HTM=index.htm"};
        QCOMPARE(AutorunLines(iconPath, QStringLiteral("index.htm")), expected);
    }

    void bytesAreWindows1252WithCrLf_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("htmLine");
        QTest::newRow("plain") << "index.htm" << QByteArray("HTM=index.htm\r\n");
        QTest::newRow("accents") << QStringLiteral("accueil_été.htm")
                                 << QByteArray("HTM=accueil_\xE9t\xE9.htm\r\n");
        // Outside Latin-1 but inside the code page: its own bytes, not '?'.
        QTest::newRow("oe ligature and euro")
            << QStringLiteral("cœur_€.html") << QByteArray("HTM=c\x9Cur_\x80.html\r\n");
    }
    void bytesAreWindows1252WithCrLf() {
        QFETCH(QString, page);
        QFETCH(QByteArray, htmLine);
        const QByteArray bytes = AutorunBytes(AutorunLines(QStringLiteral("C:\\ico\\a.ico"), page));
        QCOMPARE(bytes, QByteArray("[Autorun]\r\nOPEN=Zolvex.exe\r\nICON=a.ico\r\n") + htmLine);
    }

    void namesNoReaderCouldFindAreRefused_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("outside the code page") << QStringLiteral("HTM=page_ŝ.htm");
        QTest::newRow("another script") << QStringLiteral("ICON=ψ.ico");
        QTest::newRow("line feed") << QStringLiteral("HTM=a\nOPEN=autre.exe");
        QTest::newRow("carriage return") << QStringLiteral("HTM=a\r.htm");
        QTest::newRow("tab") << QStringLiteral("HTM=a\t.htm");
        // Read back without their blanks or quotes, the names of other files.
        QTest::newRow("leading blank") << QStringLiteral("ICON= index.htm");
        QTest::newRow("trailing blank") << QStringLiteral("HTM=index.htm ");
        QTest::newRow("single quotes round") << QStringLiteral("ICON='a.ico'");
        QTest::newRow("double quotes round") << QStringLiteral("HTM=\"a.htm\"");
    }
    void namesNoReaderCouldFindAreRefused() {
        QFETCH(QString, line);
        QVERIFY_THROWS_EXCEPTION(AutorunEncodingError,
                                 AutorunBytes({QStringLiteral("[Autorun]"), line}));
    }

    void namesReadBackAsWritten_data() {
        QTest::addColumn<QString>("page");
        QTest::newRow("circumflex") << QStringLiteral("fête.htm");
        QTest::newRow("bytes 0x80-0x9F") << QStringLiteral("œuvre_€_Š_Ÿ_‰.htm");
        QTest::newRow("one quote, inner blank") << QStringLiteral("l'été 2005.htm");
    }
    void namesReadBackAsWritten() {
        QFETCH(QString, page);
        const QByteArray bytes = AutorunBytes(AutorunLines(QStringLiteral("C:\\ico\\a.ico"), page));
        const auto value = zolvex::findIniValue(std::string_view(bytes.constData(), bytes.size()),
                                                "Autorun", "HTM");
        QVERIFY(value && !value->utf8);
        QCOMPARE(QString::fromStdU16String(zolvex::fromAutorunCodePage(value->text)), page);
    }

    void failedWriteLeavesNoPartialFile_data() {
        QTest::addColumn<QByteArray>("previous");
        QTest::newRow("no previous file") << QByteArray();
        QTest::newRow("previous file kept") << QByteArray("[Autorun]\r\nOPEN=Zolvex.exe\r\n");
    }
    void failedWriteLeavesNoPartialFile() {
        QFETCH(QByteArray, previous);
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        drives.writeFile(QStringLiteral("X:\\index.htm"), "<html>");
        if (!previous.isNull())
            drives.writeFile(QStringLiteral("X:\\Autorun.inf"), previous);
        const QStringList before = rootNames(host);
        const QByteArray bytes =
            AutorunBytes(AutorunLines(QStringLiteral("C:\\ico\\site.ico"), "index.htm"));
        bool raised = false;
        {
            const FileSizeLimit full(10);
            try {
                WriteAutorunInf(QStringLiteral("X:\\"), bytes);
            } catch (const platform::IoError&) {
                raised = true;
            }
        }
        QVERIFY(raised);
        QCOMPARE(rootNames(host), before);
        QCOMPARE(drives.readFile(QStringLiteral("X:\\Autorun.inf")), previous);
    }

    void rootThatCannotBeWrittenRaises_data() {
        QTest::addColumn<bool>("rootIsAFile");
        QTest::newRow("drive without medium") << false;
        QTest::newRow("root is a regular file") << true;
    }
    void rootThatCannotBeWrittenRaises() {
        QFETCH(bool, rootIsAFile);
        TempDrives drives;
        if (rootIsAFile) {
            QFile file(drives.hostRoot() + QStringLiteral("/plain"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            drives.addDrive(u'X', file.fileName());
        } else {
            drives.addBrokenDrive(u'X');
        }
        QVERIFY_THROWS_EXCEPTION(platform::IoError,
                                 WriteAutorunInf(QStringLiteral("X:\\"), "new\r\n"));
        if (rootIsAFile)
            QCOMPARE(QFileInfo(drives.hostRoot() + QStringLiteral("/plain")).size(), 0);
        else
            QVERIFY(!QFileInfo::exists(drives.hostRoot() + QStringLiteral("/nowhere_x")));
    }
};

QTEST_GUILESS_MAIN(TstAutorunInf)
#include "tst_autoruninf.moc"
