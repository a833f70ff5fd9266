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

    void linesNoReaderCouldReadAreRefused_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("line feed") << QStringLiteral("HTM=a\nOPEN=autre.exe");
        QTest::newRow("carriage return") << QStringLiteral("HTM=a\r.htm");
        QTest::newRow("tab in the section line") << QStringLiteral("[Auto\trun]");
        QTest::newRow("a value that names no file") << QStringLiteral("OPEN=CON");
    }
    void linesNoReaderCouldReadAreRefused() {
        QFETCH(QString, line);
        QVERIFY_THROWS_EXCEPTION(AutorunEncodingError,
                                 AutorunBytes({QStringLiteral("[Autorun]"), line}));
    }

    // Each refusal names the character or the rule, for the start page and
    // for the icon alike.
    void namesWindowsCannotStoreAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("named");
        for (const char* c : {"?", "*", "<", ">", "|", ":", "\""})
            QTest::addRow("%s", c) << QStringLiteral("a%1b.htm").arg(QLatin1String(c))
                                   << QStringLiteral("« %1 »").arg(QLatin1String(c));
        QTest::newRow("tab") << QStringLiteral("a\tb.htm") << "code 9";
        QTest::newRow("escape") << QStringLiteral("a\x1b.htm") << "code 27";
        QTest::newRow("final dot") << QStringLiteral("x.htm.") << "point";
        QTest::newRow("final blank") << QStringLiteral("x.htm ") << "espace";
        QTest::newRow("device") << QStringLiteral("CON.htm") << "CON ";
        QTest::newRow("device, lower case") << QStringLiteral("nul.html") << "NUL ";
        QTest::newRow("device, two extensions") << QStringLiteral("Com7.tar.htm") << "COM7 ";
        QTest::newRow("device, blank before the dot") << QStringLiteral("lpt1 .htm") << "LPT1 ";
        QTest::newRow("device without extension") << QStringLiteral("aux") << "AUX ";
        QTest::newRow("past 260 characters")
            << QString(253, u'a') + QStringLiteral(".htm") << "260";
        QTest::newRow("leading blank") << QStringLiteral(" index.htm") << "espace";
        QTest::newRow("single quotes round") << QStringLiteral("'a.htm'") << "guillemets";
    }
    void namesWindowsCannotStoreAreRefused() {
        QFETCH(QString, name);
        QFETCH(QString, named);
        const QString why = AutorunNameRefusal(name);
        QVERIFY2(why.contains(named), qPrintable(why));
        for (const char* key : {"ICON=", "HTM="}) {
            try {
                AutorunBytes({QStringLiteral("[Autorun]"), QLatin1String(key) + name});
                QFAIL("accepted");
            } catch (const AutorunEncodingError& e) {
                QVERIFY2(e.message().contains(why), qPrintable(e.message()));
            }
        }
    }

    void namesJustInsideTheRulesAreWritten_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("device name inside a longer one") << QStringLiteral("CONSOLE.htm");
        QTest::newRow("COM0 is no device") << QStringLiteral("com0.htm");
        QTest::newRow("dot inside, blank inside") << QStringLiteral("l'été 2005.v2.htm");
        QTest::newRow("one quote") << QStringLiteral("'a.htm");
        QTest::newRow("at 260 characters with the root")
            << QString(252, u'a') + QStringLiteral(".htm");
    }
    void namesJustInsideTheRulesAreWritten() {
        QFETCH(QString, name);
        QCOMPARE(AutorunNameRefusal(name), QString());
        QVERIFY(!AutorunBytes(AutorunLines(QString(), name)).isEmpty());
    }

    // Read back by the disc program's reader: Windows-1252 names in the
    // file of every earlier disc, the others in UTF-16 with its mark.
    void namesReadBackAsWritten_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("unicode");
        QTest::newRow("circumflex") << QStringLiteral("fête.htm") << false;
        QTest::newRow("bytes 0x80-0x9F") << QStringLiteral("œuvre_€_Š_Ÿ_‰.htm") << false;
        QTest::newRow("one quote, inner blank") << QStringLiteral("l'été 2005.htm") << false;
        QTest::newRow("Polish") << QStringLiteral("łódź.htm") << true;
        QTest::newRow("Czech") << QStringLiteral("Žluťoučký.htm") << true;
        QTest::newRow("Hungarian") << QStringLiteral("Őrség.htm") << true;
        QTest::newRow("Russian") << QStringLiteral("Москва.htm") << true;
        QTest::newRow("Turkish") << QStringLiteral("İstanbul.htm") << true;
        QTest::newRow("Greek") << QStringLiteral("Αθήνα.htm") << true;
        QTest::newRow("Japanese") << QStringLiteral("日本.htm") << true;
        QTest::newRow("emoji, a surrogate pair") << QStringLiteral("smile😀.htm") << true;
    }
    void namesReadBackAsWritten() {
        QFETCH(QString, page);
        QFETCH(bool, unicode);
        // The icon named in the same language as the page.
        const QString icon = page.chopped(4) + QStringLiteral(".ico");
        const QByteArray bytes =
            AutorunBytes(AutorunLines(QStringLiteral("C:\\ico\\") + icon, page));
        QCOMPARE(bytes.startsWith("\xFF\xFE"), unicode);
        const std::string_view file(bytes.constData(), size_t(bytes.size()));
        for (const auto& [key, value] : {std::pair(u"HTM", page), std::pair(u"ICON", icon),
                                         std::pair(u"OPEN", QStringLiteral("Zolvex.exe"))}) {
            const auto read = zolvex::findIniValue(file, u"Autorun", key);
            QVERIFY(read);
            QCOMPARE(QString::fromStdU16String(*read), value);
        }
        QCOMPARE(AutorunPreview(bytes), AutorunLines(QStringLiteral("C:\\ico\\") + icon, page));
    }

    // The sample in the settings corpus, whose values Windows' profile reader
    // (under Wine) returned whole, is the writer's own.
    void unicodeFileIsTheSampleWindowsRead() {
        QFile sample(QStringLiteral(INI_CORPUS_DIR "/autorun-utf16.inf"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QCOMPARE(AutorunBytes(AutorunLines(QStringLiteral("C:\\ico\\日本.ico"),
                                           QStringLiteral("Москва 😀.htm"))),
                 sample.readAll());
    }

    void writeReplacesAnOrdinaryFileKeepingItsName_data() {
        QTest::addColumn<QString>("existing");
        QTest::newRow("none") << "";
        QTest::newRow("same name") << "Autorun.inf";
        QTest::newRow("other case") << "AUTORUN.INF";
    }
    void writeReplacesAnOrdinaryFileKeepingItsName() {
        QFETCH(QString, existing);
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        if (!existing.isEmpty())
            drives.writeFile(QStringLiteral("X:\\") + existing, QByteArray(500, 'o'));
        WriteAutorunInf(QStringLiteral("X:\\"), "new\r\n");
        const QString name = existing.isEmpty() ? QStringLiteral("Autorun.inf") : existing;
        QCOMPARE(rootNames(host), QStringList{name});
        QCOMPARE(drives.readFile(QStringLiteral("X:\\") + name), QByteArray("new\r\n"));
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

    void protectedOrUnwritableTargetsAreNeverReplaced_data() {
        QTest::addColumn<int>("attributes");
        QTest::addColumn<bool>("folder");
        QTest::newRow("read-only") << int(platform::AttrReadOnly) << false;
        QTest::newRow("hidden") << int(platform::AttrHidden) << false;
        QTest::newRow("system") << int(platform::AttrSystem) << false;
        QTest::newRow("a folder of that name") << 0 << true;
    }
    void protectedOrUnwritableTargetsAreNeverReplaced() {
        QFETCH(int, attributes);
        QFETCH(bool, folder);
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        const QString target = QStringLiteral("X:\\Autorun.inf");
        if (folder)
            drives.makeFolder(target);
        else
            drives.writeFile(target, "old");
        if (attributes)
            QCOMPARE(platform::setFileAttributes(target, std::uint32_t(attributes)), 0);
        const QStringList before = rootNames(host);
        try {
            WriteAutorunInf(QStringLiteral("X:\\"), "new\r\n");
            QFAIL("no error raised");
        } catch (const platform::IoError& e) {
            QCOMPARE(e.code(), int(platform::ErrAccessDenied));
        }
        QCOMPARE(rootNames(host), before);
        if (!folder) {
            QCOMPARE(drives.readFile(target), QByteArray("old"));
            QVERIFY(platform::fileAttributes(target) & std::uint32_t(attributes));
        }
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
