// The suite's stand-ins and files: the autorun program's reading of
// Autorun.inf, the committed documents and icons, the cross-built autorun
// program, and the script that lays out a demo suite.

#include "AutorunIni.h"
#include "common/AutorunEncoding.h"
#include "common/SuiteLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QUrl>

#include <unistd.h>

namespace {

const QString suiteSource = QStringLiteral(SUITE_SOURCE_DIR);

// Names in a laid-out suite folder, host style: '/' and programs without extension.
QString hostProgram(const char16_t* program) {
    return QFileInfo(suite::name(program)).completeBaseName();
}
QString toolFolder(std::size_t tool) {
    return suite::name(suite::Tools[tool].folder) + QLatin1Char('/');
}
QString toolProgram(std::size_t tool) {
    return toolFolder(tool) + hostProgram(suite::Tools[tool].program);
}
const QString converterProgram = toolProgram(suite::ConverterTool);
const QString converterHelp =
    toolFolder(suite::ConverterTool) + suite::name(suite::ConverterHelpDocument);
const QString menuProgram = hostProgram(suite::MenuProgram);
const QString autorunProgram =
    suite::name(suite::AutorunFolder) + QLatin1Char('/') + suite::name(suite::AutorunProgram);

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return true;
}

quint16 u16(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 u32(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

// The target of a symbolic link as written in it (not made absolute).
QString linkText(const QString& path) {
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(buffer, length));
}

// One part of a MIME message: its header fields (lower-case names, folded
// lines joined) and its body, still encoded.
struct MimePart {
    QHash<QByteArray, QByteArray> fields;
    QByteArray body;
};

MimePart splitPart(const QByteArray& text) {
    MimePart part;
    const qsizetype end = text.indexOf("\r\n\r\n");
    const QByteArray head = text.left(end < 0 ? text.size() : end);
    part.body = end < 0 ? QByteArray() : text.mid(end + 4);
    QByteArray unfolded = head;
    unfolded.replace("\r\n ", " ").replace("\r\n\t", " ");
    for (const QByteArray& line : unfolded.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            part.fields.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    return part;
}

QByteArray quotedPrintableDecoded(const QByteArray& text) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
        } else if (text.mid(i + 1, 2) == "\r\n") {
            i += 2; // soft line break
        } else {
            out += QByteArray::fromHex(text.mid(i + 1, 2));
            i += 2;
        }
    }
    return out;
}

// Every in-page link ("#name") of a page has its target.
QStringList brokenAnchors(const QString& html) {
    QSet<QString> ids;
    static const QRegularExpression idPattern(QStringLiteral(R"re(\bid="([^"]+)")re"));
    for (const auto& match : idPattern.globalMatch(html))
        ids.insert(match.captured(1));
    QStringList broken;
    static const QRegularExpression hrefPattern(QStringLiteral(R"re(href="#([^"]*)")re"));
    for (const auto& match : hrefPattern.globalMatch(html)) {
        if (!ids.contains(match.captured(1)))
            broken << match.captured(1);
    }
    return broken;
}

} // namespace

class TestSuite : public QObject {
    Q_OBJECT

private slots:
    void autorunValue_data();
    void autorunValue();
    void autorunCodePageDecodesAsItsName();

    void prerequisitesPdfIsWellFormed();
    void icons_data();
    void icons();
    void mhtDocuments_data();
    void mhtDocuments();
    void helpPageLinks();
    void documentsSayWhatTheConverterDoes_data();
    void documentsSayWhatTheConverterDoes();

    void zolvexIsAStaticWindowsGuiProgram();

    void layoutBuildsWholeSuite();
    void layoutStartsAfreshAndStaysInside();
    void layoutRefusesAnotherFolder();
    void layoutWithoutOptionalPrograms();

private:
    int runLayout(const QStringList& definitions, QString* output = nullptr,
                  const QString& workingFolder = {});
    QStringList fakePrograms(const QString& folder);
};

// --- Autorun.inf, as the autorun program reads it ------------------------------

void TestSuite::autorunValue_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("page");

    QTest::newRow("as the launcher writes it")
        << QByteArray("[Autorun]\r\nOPEN=Zolvex.exe\r\nICON=site.ico\r\nHTM=index.htm\r\n") << true
        << QStringLiteral("index.htm");
    QTest::newRow("names in another case")
        << QByteArray("[AUTORUN]\r\nhtm=Index.HTM\r\n") << true << QStringLiteral("Index.HTM");
    QTest::newRow("blanks around names and value")
        << QByteArray("  [ autorun ]  \r\n \tHTM  =  accueil.htm  \r\n") << true
        << QStringLiteral("accueil.htm");
    QTest::newRow("line feeds only, no end on the last line")
        << QByteArray("[Autorun]\nOPEN=Zolvex.exe\nHTM=index.htm") << true
        << QStringLiteral("index.htm");
    QTest::newRow("empty value is a value")
        << QByteArray("[Autorun]\r\nHTM=\r\n") << true << QString();
    QTest::newRow("value holding an equals sign")
        << QByteArray("[Autorun]\r\nHTM=a=b.htm\r\n") << true << QStringLiteral("a=b.htm");
    QTest::newRow("quoted value") << QByteArray("[Autorun]\r\nHTM=\"page d'accueil.htm\"\r\n")
                                  << true << QStringLiteral("page d'accueil.htm");
    QTest::newRow("first of two lines")
        << QByteArray("[Autorun]\r\nHTM=a.htm\r\nHTM=b.htm\r\n") << true << QStringLiteral("a.htm");
    QTest::newRow("Windows-1252 whatever the machine's code page")
        << QByteArray("[Autorun]\r\nHTM=\xe9t\xe9_\x80.htm\r\n") << true
        << QStringLiteral("été_€.htm");
    QTest::newRow("UTF-8 with byte-order mark")
        << QByteArray("\xEF\xBB\xBF[Autorun]\r\nHTM=\xc3\xa9t\xc3\xa9.htm\r\n") << true
        << QStringLiteral("été.htm");
    QTest::newRow("UTF-8, broken sequences")
        << QByteArray("\xEF\xBB\xBF[Autorun]\r\nHTM=a\xc3\xe0\x80\xf5\x80.htm\r\n") << true
        << QStringLiteral("a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD.htm");
    const auto utf16 = [](const QString& text) {
        return QByteArray("\xFF\xFE") + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    };
    QTest::newRow("UTF-16 with byte-order mark")
        << utf16(QStringLiteral("[Autorun]\r\nICON=a.ico\r\nHTM=Москва 😀.htm\r\n")) << true
        << QStringLiteral("Москва 😀.htm");
    QTest::newRow("UTF-16, odd last byte")
        << utf16(QStringLiteral("[autorun]\nhtm = 'łódź.htm'\n")) + 'x' << true
        << QStringLiteral("łódź.htm");

    QTest::newRow("empty file") << QByteArray() << false << QString();
    QTest::newRow("no HTM line") << QByteArray("[Autorun]\r\nOPEN=Zolvex.exe\r\nICON=site.ico\r\n")
                                 << false << QString();
    QTest::newRow("line before any section")
        << QByteArray("HTM=a.htm\r\n[Autorun]\r\n") << false << QString();
    QTest::newRow("line in another section")
        << QByteArray("[Autorun]\r\nOPEN=Zolvex.exe\r\n[Autre]\r\nHTM=a.htm\r\n") << false
        << QString();
    QTest::newRow("longer keys are other keys")
        << QByteArray("[Autorun]\r\nHTML=a.htm\r\nHTM2=b.htm\r\n") << false << QString();
    QTest::newRow("commented out")
        << QByteArray("[Autorun]\r\n;HTM=a.htm\r\n") << false << QString();
    QTest::newRow("key without equals sign")
        << QByteArray("[Autorun]\r\nHTM index.htm\r\n") << false << QString();
}

void TestSuite::autorunValue() {
    QFETCH(QByteArray, file);
    QFETCH(bool, found);
    QFETCH(QString, page);

    const auto value =
        zolvex::findIniValue(std::string_view(file.constData(), file.size()), u"Autorun", u"HTM");
    QCOMPARE(value.has_value(), found);
    if (value)
        QCOMPARE(QString::fromStdU16String(*value), page);
}

// The disc's program decodes every byte as the code page named by the shared
// definition does, whatever the reading machine's own code page.
void TestSuite::autorunCodePageDecodesAsItsName() {
    std::string bytes;
    for (int b = 0x20; b < 0x100; ++b)
        bytes += char(b);
    QStringDecoder reference(QByteArray("windows-" + QByteArray::number(autorun::CodePage)));
    QVERIFY(reference.isValid());
    const QString expected =
        reference.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    const QString decoded = QString::fromStdU16String(autorun::decode(bytes));
    QCOMPARE(decoded.size(), expected.size());
    for (qsizetype i = 0; i < decoded.size(); ++i)
        QVERIFY2(decoded[i] == expected[i], qPrintable(QString::number(0x20 + i, 16)));
}

// --- Committed documents and icons ---------------------------------------------

void TestSuite::prerequisitesPdfIsWellFormed() {
    const QByteArray pdf = readAll(suiteSource + QStringLiteral("/docs/PresRequis.pdf"));
    QVERIFY(pdf.startsWith("%PDF-1."));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));

    // The cross-reference table: where startxref says, and each object where
    // its entry says.
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    QVERIFY(startxref > 0);
    bool ok = false;
    const qsizetype xref = pdf.mid(startxref + 9).trimmed().split('\n').value(0).toLongLong(&ok);
    QVERIFY(ok);
    QCOMPARE(pdf.mid(xref, 5), QByteArray("xref\n"));
    const QList<QByteArray> subsection = pdf.mid(xref + 5, 32).split('\n').value(0).split(' ');
    QCOMPARE(subsection.value(0), QByteArray("0"));
    const int count = subsection.value(1).toInt();
    QVERIFY(count > 5);
    const qsizetype entries =
        xref + 5 + subsection.value(0).size() + subsection.value(1).size() + 2;
    QCOMPARE(pdf.mid(entries, 20), QByteArray("0000000000 65535 f \n"));
    for (int object = 1; object < count; ++object) {
        const QByteArray entry = pdf.mid(entries + 20 * object, 20);
        QVERIFY2(entry.endsWith(" 00000 n \n"), entry.constData());
        const qsizetype offset = entry.left(10).toLongLong();
        QVERIFY2(pdf.mid(offset).startsWith(QByteArray::number(object) + " 0 obj"),
                 qPrintable(QStringLiteral("object %1 not at %2").arg(object).arg(offset)));
    }
    QVERIFY(pdf.indexOf("/Size " + QByteArray::number(count) + " ") > 0);

    // Each stream is as long as its /Length says.
    static const QRegularExpression streamPattern(
        QStringLiteral(R"re(/Length (\d+) >>\nstream\n)re"));
    int streams = 0;
    for (const auto& match : streamPattern.globalMatch(QString::fromLatin1(pdf))) {
        const qsizetype end = match.capturedEnd() + match.captured(1).toLongLong();
        QVERIFY2(pdf.mid(end).startsWith("endstream"), "stream length is wrong");
        ++streams;
    }

    // As many pages as the page tree counts, each with its content stream;
    // accents need the Windows character set in every font.
    const int pages = int(pdf.count("/Type /Page "));
    QVERIFY(pages >= 1);
    QVERIFY(pdf.contains("/Count " + QByteArray::number(pages) + " "));
    QCOMPARE(streams, pages);
    const qsizetype fonts = pdf.count("/Type /Font");
    QVERIFY(fonts >= 1);
    QCOMPARE(pdf.count("/Encoding /WinAnsiEncoding"), fonts);
}

void TestSuite::icons_data() {
    QTest::addColumn<QString>("path");
    const QFileInfoList icons = QDir(suiteSource + QStringLiteral("/ico"))
                                    .entryInfoList({QStringLiteral("*.ico")}, QDir::Files);
    QVERIFY(icons.size() >= 3);
    for (const QFileInfo& icon : icons)
        QTest::newRow(qPrintable(icon.fileName())) << icon.filePath();
}

void TestSuite::icons() {
    QFETCH(QString, path);
    const QByteArray ico = readAll(path);
    QVERIFY(ico.size() >= 6);
    QCOMPARE(u16(ico, 0), quint16(0));
    QCOMPARE(u16(ico, 2), quint16(1)); // an icon, not a cursor
    const int count = u16(ico, 4);
    QVERIFY(ico.size() >= 6 + 16 * count);

    QSet<int> sizes;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int width = quint8(ico[entry]) == 0 ? 256 : quint8(ico[entry]);
        const int height = quint8(ico[entry + 1]) == 0 ? 256 : quint8(ico[entry + 1]);
        const quint32 bytes = u32(ico, entry + 8);
        const quint32 offset = u32(ico, entry + 12);
        QVERIFY(quint64(offset) + bytes <= quint64(ico.size()));
        const QByteArray image = ico.mid(offset, bytes);
        if (image.startsWith("\x89PNG\r\n\x1a\n")) {
            QCOMPARE(int(qFromBigEndian<quint32>(image.constData() + 16)), width);
        } else {
            // A bitmap: its height counts the image and its mask.
            QCOMPARE(u32(image, 0), quint32(40));
            QCOMPARE(int(u32(image, 4)), width);
            QCOMPARE(int(u32(image, 8)), 2 * height);
        }
        QCOMPARE(width, height);
        sizes.insert(width);
    }
    QVERIFY2(sizes.contains(16) && sizes.contains(32) && sizes.contains(48),
             "an icon needs its 16, 32 and 48 pixel images");
}

void TestSuite::mhtDocuments_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("Strovan.mht") << suiteSource + QStringLiteral("/docs/Strovan.mht");
    QTest::newRow("CD_Site.mht") << suiteSource + QStringLiteral("/docs/CD_Site.mht");
}

void TestSuite::mhtDocuments() {
    QFETCH(QString, path);
    const QByteArray mht = readAll(path);
    QVERIFY(!mht.isEmpty());

    const MimePart message = splitPart(mht);
    const QByteArray type = message.fields.value("content-type");
    QVERIFY2(type.startsWith("multipart/related;"), type.constData());
    QCOMPARE(message.fields.value("mime-version"), QByteArray("1.0"));
    static const QRegularExpression boundaryPattern(QStringLiteral(R"re(boundary="([^"]+)")re"));
    const QString boundary = boundaryPattern.match(QString::fromLatin1(type)).captured(1);
    QVERIFY(!boundary.isEmpty());

    const QByteArray delimiter = "\r\n--" + boundary.toLatin1();
    QList<QByteArray> pieces;
    qsizetype at = message.body.indexOf(delimiter);
    QVERIFY(at >= 0);
    for (;;) {
        at += delimiter.size();
        if (message.body.mid(at, 2) == "--")
            break; // the closing delimiter
        QCOMPARE(message.body.mid(at, 2), QByteArray("\r\n"));
        const qsizetype next = message.body.indexOf(delimiter, at);
        QVERIFY2(next > 0, "the message is not closed");
        pieces << message.body.mid(at + 2, next - at - 2);
        at = next;
    }
    QVERIFY(pieces.size() >= 2);

    // The page first, in UTF-8, quoted-printable.
    const MimePart page = splitPart(pieces.takeFirst());
    QVERIFY(page.fields.value("content-type").startsWith("text/html"));
    QVERIFY(page.fields.value("content-type").toLower().contains("utf-8"));
    QCOMPARE(page.fields.value("content-transfer-encoding"), QByteArray("quoted-printable"));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString html = utf8(quotedPrintableDecoded(page.body));
    QVERIFY2(!utf8.hasError(), "the page is not valid UTF-8");
    QVERIFY(html.contains(QLatin1String("<html")));
    QCOMPARE(brokenAnchors(html), QStringList());

    // Every picture the page shows is one of the parts.
    QHash<QString, QByteArray> pictures;
    for (const QByteArray& piece : std::as_const(pieces)) {
        const MimePart part = splitPart(piece);
        QCOMPARE(part.fields.value("content-transfer-encoding"), QByteArray("base64"));
        pictures.insert(QString::fromLatin1(part.fields.value("content-location")),
                        QByteArray::fromBase64(part.body));
    }
    const QUrl base(QString::fromLatin1(page.fields.value("content-location")));
    QVERIFY(base.isValid() && !base.isRelative());
    static const QRegularExpression imgPattern(QStringLiteral(R"re(<img[^>]*\bsrc="([^"]+)")re"));
    int shown = 0;
    for (const auto& match : imgPattern.globalMatch(html)) {
        const QString location = base.resolved(QUrl(match.captured(1))).toString();
        QVERIFY2(pictures.contains(location), qPrintable(location));
        const QByteArray jpeg = pictures.value(location);
        QVERIFY2(jpeg.startsWith("\xff\xd8\xff") && jpeg.endsWith("\xff\xd9"),
                 qPrintable(location));
        ++shown;
    }
    QVERIFY(shown >= 1);
}

void TestSuite::helpPageLinks() {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString html = utf8(readAll(suiteSource + QStringLiteral("/docs/Tavrin.htm")));
    QVERIFY(!utf8.hasError());
    QVERIFY(html.contains(QLatin1String("<meta charset=\"utf-8\">")));
    QCOMPARE(brokenAnchors(html), QStringList());
}

namespace {

// The text a reader sees in a document, blanks and line ends as single
// spaces: a phrase is found wherever the lines were broken.
QString readableText(const QString& path) {
    const QByteArray bytes = readAll(path);
    QString text;
    if (path.endsWith(QLatin1String(".pdf"))) {
        // Each line is a string shown with Tj, in WinAnsi, which agrees with
        // Latin-1 on every letter the documents use.
        static const QRegularExpression shown(QStringLiteral(R"re(\(((?:[^\\)]|\\.)*)\) Tj)re"));
        static const QRegularExpression escape(QStringLiteral(R"re(\\([0-7]{3}|.))re"));
        for (const auto& line : shown.globalMatch(QString::fromLatin1(bytes))) {
            QString piece = line.captured(1);
            QString plain;
            qsizetype at = 0;
            for (const auto& e : escape.globalMatch(piece)) {
                plain += piece.mid(at, e.capturedStart() - at);
                const QString code = e.captured(1);
                plain += code.size() == 3 ? QChar(code.toInt(nullptr, 8)) : code.at(0);
                at = e.capturedEnd();
            }
            text += plain + piece.mid(at) + u' ';
        }
    } else {
        text = QString::fromUtf8(
            path.endsWith(QLatin1String(".mht")) ? quotedPrintableDecoded(bytes) : bytes);
    }
    return text.simplified();
}

} // namespace

void TestSuite::documentsSayWhatTheConverterDoes_data() {
    QTest::addColumn<QString>("document"); // below the repository
    QTest::addColumn<QStringList>("phrases");
    // 16:9, the dates, the question, the progress and its button, the report.
    const QStringList french{
        QStringLiteral("16:9"),         QStringLiteral("date d'enregistrement"),
        QStringLiteral("confirmation"), QStringLiteral("progression"),
        QStringLiteral("Annuler"),      QStringLiteral("bilan")};
    for (const char* document :
         {"suite/docs/src/strovan.html", "suite/docs/Strovan.mht", "suite/docs/Tavrin.htm",
          "suite/docs/PresRequis.pdf", "dist/linux/strovan.1.in",
          "dist/linux/example.orvane.Strovan.metainfo.xml.in"})
        QTest::newRow(document) << QString::fromLatin1(document) << french;
    // The package's description is written in English.
    QTest::newRow("cmake/Packaging.cmake")
        << QStringLiteral("cmake/Packaging.cmake")
        << QStringList{QStringLiteral("16:9"),        QStringLiteral("recording date"),
                       QStringLiteral("asks before"), QStringLiteral("progress"),
                       QStringLiteral("Annuler"),     QStringLiteral("report")};
}

void TestSuite::documentsSayWhatTheConverterDoes() {
    QFETCH(QString, document);
    QFETCH(QStringList, phrases);
    const QString text = readableText(suiteSource + QStringLiteral("/../") + document);
    QVERIFY(!text.isEmpty());
    for (const QString& phrase : phrases)
        QVERIFY2(text.contains(phrase, Qt::CaseInsensitive), qPrintable(phrase));
    // What it did before asking and before its progress window, said no more.
    QVERIFY(!text.contains(QStringLiteral("sans demander de confirmation")));
}

// --- The autorun program, cross-built for Windows ------------------------------

void TestSuite::zolvexIsAStaticWindowsGuiProgram() {
    const QString path = QStringLiteral(ZOLVEX_EXE);
    if (path.isEmpty())
        QSKIP("Zolvex.exe is not built here (no MinGW-w64 cross compiler)");
    const QByteArray exe = readAll(path);
    QVERIFY(exe.size() > 0x40);
    QVERIFY(exe.startsWith("MZ"));
    const quint32 pe = u32(exe, 0x3c);
    QVERIFY(pe + 24 + 70 < quint32(exe.size()));
    QCOMPARE(exe.mid(pe, 4), QByteArray("PE\0\0", 4));
    QCOMPARE(u16(exe, pe + 4), quint16(0x8664)); // x86-64
    const qsizetype optional = pe + 24;
    QCOMPARE(u16(exe, optional), quint16(0x20b));  // PE32+
    QCOMPARE(u16(exe, optional + 68), quint16(2)); // Windows GUI: no console window

    // It opens the page and speaks through message boxes, and needs no DLL of
    // the compiler's beside it on the disc.
    for (const char* import : {"ShellExecuteW", "MessageBoxW", "GetModuleFileNameW"})
        QVERIFY2(exe.contains(import), import);
    const QByteArray lower = exe.toLower();
    QVERIFY(lower.contains("shell32.dll"));
    for (const char* dll : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"})
        QVERIFY2(!lower.contains(dll), dll);
}

// --- The demo layout -------------------------------------------------------------

int TestSuite::runLayout(const QStringList& definitions, QString* output,
                         const QString& workingFolder) {
    QStringList arguments = definitions;
    arguments << QStringLiteral("-DSUITE_SOURCE=") + suiteSource << QStringLiteral("-P")
              << suiteSource + QStringLiteral("/layout/SuiteLayout.cmake");
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingFolder.isEmpty())
        cmake.setWorkingDirectory(workingFolder);
    cmake.start(QStringLiteral(CMAKE_EXECUTABLE), arguments);
    if (!cmake.waitForFinished(120000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(cmake.readAll());
    return cmake.exitStatus() == QProcess::NormalExit ? cmake.exitCode() : -1;
}

// Stand-ins for the built programs: -D definitions naming them.
QStringList TestSuite::fakePrograms(const QString& folder) {
    QStringList definitions;
    const QByteArray script("#!/bin/sh\nexit 0\n");
    for (const char* name : {"STANDIN", "VASK", "PELMORA", "STROVAN"}) {
        const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        writeFile(path, script + name, true);
        definitions << QStringLiteral("-D%1=%2").arg(QLatin1String(name), path);
    }
    writeFile(folder + QStringLiteral("/Zolvex.exe"), "MZ autorun");
    definitions << QStringLiteral("-DZOLVEX=") + folder + QStringLiteral("/Zolvex.exe");
    return definitions;
}

void TestSuite::layoutBuildsWholeSuite() {
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString demo = temp.filePath(QStringLiteral("demo"));
    QString output;
    QCOMPARE(runLayout(fakePrograms(temp.path()) << QStringLiteral("-DDEMO=") + demo, &output), 0);

    // The drive table: relative links, so the demo moves with its build.
    for (const auto& [drive, target] : {std::pair{"c:", "C"}, std::pair{"x:", "X"}}) {
        const QFileInfo link(demo + QStringLiteral("/drives/") + QLatin1String(drive));
        QVERIFY2(link.isSymLink(), drive);
        QCOMPARE(QFile::symLinkTarget(link.filePath()), demo + QLatin1Char('/') + target);
        QCOMPARE(linkText(link.filePath()), QStringLiteral("../") + QLatin1String(target));
    }
    QCOMPARE(QDir(demo + QStringLiteral("/drives"))
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("c:"), QStringLiteral("x:")}));

    const QString suite = demo + QStringLiteral("/C/Pelmora/");
    // Each program is there, and is the one it stands for.
    QList<std::pair<QString, QByteArray>> programs{{hostProgram(suite::LauncherProgram), "PELMORA"},
                                                   {menuProgram, "VASK"}};
    for (std::size_t tool = 0; tool < suite::ToolCount; ++tool)
        programs.append({toolProgram(tool), tool == suite::ConverterTool ? "STROVAN" : "STANDIN"});
    for (const auto& [program, fake] : programs) {
        const QFileInfo info(suite + program);
        QVERIFY2(info.isFile() && info.isExecutable(), qPrintable(program));
        QVERIFY2(readAll(info.filePath()).endsWith(fake), qPrintable(program));
    }
    QCOMPARE(readAll(suite + autorunProgram), QByteArray("MZ autorun"));

    // Documents and icons: copies of the committed files.
    const QString icons = suite::name(suite::IconFolder) + QLatin1Char('/');
    const QString docs = QStringLiteral("docs/");
    for (const auto& [installed, source] :
         {std::pair{suite::name(suite::HelpDocument), docs + suite::name(suite::HelpDocument)},
          std::pair{suite::name(suite::PrerequisitesDocument),
                    docs + suite::name(suite::PrerequisitesDocument)},
          std::pair{suite::name(suite::CdSiteDocument), docs + suite::name(suite::CdSiteDocument)},
          std::pair{converterHelp, docs + suite::name(suite::ConverterHelpDocument)},
          std::pair{icons + QStringLiteral("site.ico"), QStringLiteral("ico/site.ico")},
          std::pair{icons + QStringLiteral("disque.ico"), QStringLiteral("ico/disque.ico")},
          std::pair{icons + QStringLiteral("video.ico"), QStringLiteral("ico/video.ico")}}) {
        const QByteArray copy = readAll(suite + installed);
        QVERIFY2(!copy.isEmpty() && copy == readAll(suiteSource + QLatin1Char('/') + source),
                 qPrintable(installed));
    }
    // The settings file as the converter reads it, with Windows line ends.
    QCOMPARE(readAll(suite + suite::name(suite::SettingsFile)),
             QByteArray("[DISQUES]\r\nVirtuel=X:\r\n"));

    const QString camera = demo + QStringLiteral("/C/Camescope/");
    for (const char* file :
         {"PRG001/MOV001.MOD", "PRG001/MOV001.MOI", "PRG001/MOV002.MOD", "PRG001/MOV002.MOI",
          "PRG001/PRG001.PGI", "PRG002/PRG002.PGI", "PRG00A/MOV00A.MOD", "PRG00A/MOV00A.MOI",
          "PRG00A/PRG00A.PGI", "MGR_INFO/MGR_INFO.DAT"})
        QVERIFY2(QFileInfo(camera + QLatin1String(file)).isFile(), file);

    QVERIFY(QFileInfo(demo + QStringLiteral("/X/index.htm")).isFile());
}

void TestSuite::layoutStartsAfreshAndStaysInside() {
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString demo = temp.filePath(QStringLiteral("demo"));
    const QStringList definitions = fakePrograms(temp.path()) << QStringLiteral("-DDEMO=") + demo;
    QCOMPARE(runLayout(definitions), 0);

    // What a session in the demo leaves behind: a converted camcorder folder,
    // the files the CD/DVD window writes, and links out of the demo.
    const QString camera = demo + QStringLiteral("/C/Camescope/");
    QVERIFY(QDir().rename(camera + QStringLiteral("PRG001"), camera + QStringLiteral("PRG0001")));
    QVERIFY(QFile::remove(camera + QStringLiteral("PRG0001/MOV001.MOI")));
    QVERIFY(writeFile(demo + QStringLiteral("/X/Autorun.inf"), "[Autorun]\r\n"));
    const QString outside = temp.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(writeFile(outside + QStringLiteral("/keep.txt"), "keep"));
    QVERIFY(QFile::link(outside, demo + QStringLiteral("/drives/q:")));
    QVERIFY(QFile::link(outside, demo + QStringLiteral("/C/Pelmora/lien")));

    QCOMPARE(runLayout(definitions), 0);
    QVERIFY(QFileInfo(camera + QStringLiteral("PRG001/MOV001.MOI")).isFile());
    QVERIFY(!QFileInfo::exists(camera + QStringLiteral("PRG0001")));
    QVERIFY(!QFileInfo::exists(demo + QStringLiteral("/X/Autorun.inf")));
    QVERIFY(!QFileInfo(demo + QStringLiteral("/drives/q:")).isSymLink());
    QCOMPARE(readAll(outside + QStringLiteral("/keep.txt")), QByteArray("keep"));
}

void TestSuite::layoutRefusesAnotherFolder() {
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QStringList programs = fakePrograms(temp.path());

    // Any folder but a build's demo folder is left alone.
    const QString other = temp.filePath(QStringLiteral("autre"));
    QVERIFY(QDir().mkpath(other));
    QVERIFY(writeFile(other + QStringLiteral("/keep.txt"), "keep"));
    QString output;
    QVERIFY(runLayout(QStringList(programs) << QStringLiteral("-DDEMO=") + other, &output) != 0);
    QVERIFY2(output.contains(QLatin1String("DEMO must be")), qPrintable(output));
    QCOMPARE(readAll(other + QStringLiteral("/keep.txt")), QByteArray("keep"));

    // A relative path would depend on where the script happens to run.
    QVERIFY(QDir().mkpath(temp.filePath(QStringLiteral("demo"))));
    QVERIFY(writeFile(temp.filePath(QStringLiteral("demo/keep.txt")), "keep"));
    QVERIFY(runLayout(QStringList(programs) << QStringLiteral("-DDEMO=demo"), nullptr,
                      temp.path()) != 0);
    QCOMPARE(readAll(temp.filePath(QStringLiteral("demo/keep.txt"))), QByteArray("keep"));
}

void TestSuite::layoutWithoutOptionalPrograms() {
    // The launcher, the converter and the autorun program may not be built:
    // the rest of the suite is laid out all the same.
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString demo = temp.filePath(QStringLiteral("demo"));
    QStringList definitions;
    for (const QString& definition : fakePrograms(temp.path())) {
        if (definition.startsWith(QLatin1String("-DSTANDIN=")) ||
            definition.startsWith(QLatin1String("-DVASK=")))
            definitions << definition;
    }
    definitions << QStringLiteral("-DPELMORA=") << QStringLiteral("-DDEMO=") + demo;
    QString output;
    QCOMPARE(runLayout(definitions, &output), 0);

    const QString suite = demo + QStringLiteral("/C/Pelmora/");
    QVERIFY(!QFileInfo::exists(suite + hostProgram(suite::LauncherProgram)));
    QVERIFY(!QFileInfo::exists(suite + converterProgram));
    QVERIFY(QFileInfo(suite + converterHelp).isFile());
    QVERIFY(QFileInfo(suite + suite::name(suite::AutorunFolder)).isDir());
    QVERIFY(!QFileInfo::exists(suite + autorunProgram));
    QVERIFY(QFileInfo(suite + menuProgram).isExecutable());

    // Missing required programs stop the layout before anything is removed.
    QCOMPARE(runLayout({QStringLiteral("-DDEMO=") + demo}, &output) == 0, false);
    QVERIFY(QFileInfo(suite + menuProgram).isFile());
}

QTEST_GUILESS_MAIN(TestSuite)
#include "tst_suite.moc"
