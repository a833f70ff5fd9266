#include "platform/Process.h"
#include "TempDrives.h"
#include "toolkit/Documents.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Mhtml.h"

#include <QRegularExpression>
#include <QtTest>

using namespace toolkit;

namespace {

const QByteArray Picture = QByteArray("\xFF\xD8\xFF\xE0 not much of a picture \x00\x01", 27);
const QByteArray Style = "body { background: url(\"fond.png\") }";
const QByteArray Ground = QByteArray("\x89PNG\r\n", 6);

// A saved page: the page quoted-printable, the parts it shows base64, as
// browsers save them. refs names the picture as the page does.
QByteArray savedPage(const QByteArray& pictureRef, const QByteArray& eol = "\r\n") {
    const QByteArray page = "<html><head><link rel=3D\"stylesheet\" href=3D\"style.css\">"
                            "</head><body>=C3=A9t=C3=A9 <img src=3D\"" +
                            pictureRef +
                            "\"> <a href=3D\"https://ailleurs.example/\">lien</a>=\r\n"
                            " <a href=3D\"#bas\">bas</a></body></html>";
    QList<QByteArray> lines{"MIME-Version: 1.0",
                            "Content-Type: multipart/related; type=\"text/html\";",
                            "\tboundary=\"----=_Limite\"",
                            "",
                            "Preamble.",
                            "------=_Limite",
                            "Content-Type: text/html; charset=\"utf-8\"",
                            "Content-Transfer-Encoding: quoted-printable",
                            "Content-Location: https://site.example/aide/page.htm",
                            "",
                            page,
                            "------=_Limite",
                            "Content-Type: image/jpeg",
                            "Content-Transfer-Encoding: base64",
                            "Content-Location: https://site.example/aide/images/photo.jpg",
                            "Content-ID: <photo@site>",
                            "",
                            Picture.toBase64(),
                            "------=_Limite",
                            "Content-Type: text/css",
                            "Content-Location: https://site.example/aide/style.css",
                            "",
                            Style,
                            "------=_Limite",
                            "Content-Type: image/png",
                            "Content-Transfer-Encoding: base64",
                            "Content-Location: https://site.example/aide/fond.png",
                            "",
                            Ground.toBase64(),
                            "------=_Limite--",
                            ""};
    return lines.join(eol);
}

// The file a reference of the unpacked page leads to, beside the page.
QByteArray followed(const QString& page, const QString& attribute, int index = 0) {
    QFile file(page);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression pattern(attribute + QStringLiteral("=\"([^\"]*)\""));
    auto it = pattern.globalMatch(text);
    for (int i = 0; i < index && it.hasNext(); ++i)
        it.next();
    if (!it.hasNext())
        return {};
    const QString reference = it.next().captured(1).section(u'#', 0, 0);
    QFile target(QFileInfo(page).dir().filePath(reference));
    return target.open(QIODevice::ReadOnly) ? target.readAll() : QByteArray();
}

} // namespace

class TstDocuments : public QObject {
    Q_OBJECT

    QList<MessageRequest> m_boxes;
    QTemporaryDir m_runtime; // the unpacked documents go there, nowhere else

private slots:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit()); }
    void init() {
        m_boxes.clear();
        setMessageHook([this](const MessageRequest& r) {
            m_boxes << r;
            return Answer::Ok;
        });
    }
    void cleanup() {
        setMessageHook({});
        platform::setOpenHook({});
    }

    void linksBetweenPartsLeadToTheUnpackedParts_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::newRow("relative to the page") << savedPage("images/photo.jpg");
        QTest::newRow("absolute location")
            << savedPage("https://site.example/aide/images/photo.jpg");
        QTest::newRow("by content id") << savedPage("cid:photo@site");
        QTest::newRow("dot segments, fragment") << savedPage("./images/../images/photo.jpg#x");
        QTest::newRow("bare line feeds") << savedPage("images/photo.jpg", "\n");
    }
    void linksBetweenPartsLeadToTheUnpackedParts() {
        QFETCH(QByteArray, document);
        QTemporaryDir folder;
        const QString page = unpackMhtml(document, folder.path());
        QVERIFY(!page.isEmpty());
        QVERIFY(page.endsWith(QStringLiteral(".htm")));
        QCOMPARE(followed(page, QStringLiteral("src")), Picture);
        QCOMPARE(followed(page, QStringLiteral("href")), Style);
        QFile css(folder.path() + QStringLiteral("/style.css"));
        QVERIFY(css.open(QIODevice::ReadOnly));
        QVERIFY(css.readAll().contains("url(\"fond.png\")"));
        QVERIFY(QFile::exists(folder.path() + QStringLiteral("/fond.png")));
        QFile html(page);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        // Decoded text, the charset said, other sites and anchors left alone.
        QVERIFY(text.contains(QStringLiteral("été")));
        QVERIFY(text.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        QVERIFY(text.contains(QStringLiteral("href=\"https://ailleurs.example/\"")));
        QVERIFY(text.contains(QStringLiteral("href=\"#bas\"")));
    }

    void brokenDocumentsGiveNoPage_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::newRow("headers only") << QByteArray("MIME-Version: 1.0\r\n");
        QTest::newRow("plain text") << QByteArray("Bonjour\r\n\r\ntout le monde\r\n");
        QTest::newRow("no boundary")
            << QByteArray("Content-Type: multipart/related\r\n\r\n--x\r\n\r\nhi\r\n--x--\r\n");
        QTest::newRow("boundary never met")
            << QByteArray("Content-Type: multipart/related; boundary=x\r\n\r\nno parts\r\n");
        QTest::newRow("no page among the parts")
            << QByteArray("Content-Type: multipart/related; boundary=x\r\n\r\n--x\r\n"
                          "Content-Type: image/png\r\n\r\nPNG\r\n--x--\r\n");
        QTest::newRow("empty") << QByteArray();
    }
    void brokenDocumentsGiveNoPage() {
        QFETCH(QByteArray, document);
        QTemporaryDir folder;
        QCOMPARE(unpackMhtml(document, folder.path()), QString());
    }

    // The help documents as the windows open them: unpacked once, in a folder
    // of the user's own; a broken one goes to the opener as it is.
    void openingASavedPage_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("unpacked");
        QTest::newRow("saved page") << savedPage("images/photo.jpg") << true;
        QTest::newRow("broken") << QByteArray("MIME-Version: 1.0\r\n") << false;
    }
    void openingASavedPage() {
        QFETCH(QByteArray, document);
        QFETCH(bool, unpacked);
        TempDrives drives;
        drives.addDrive(u'C');
        const QString host = drives.writeFile(QStringLiteral("C:\\Suite\\Aide.mht"), document);
        QStringList opened;
        platform::setOpenHook([&](const QString& target) {
            opened << target;
            return true;
        });
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[1], opened[0]); // unpacked once
        QVERIFY(m_boxes.isEmpty());
        if (!unpacked) {
            QCOMPARE(opened[0], host);
            return;
        }
        QVERIFY(opened[0].endsWith(QStringLiteral("/page.htm")));
        QCOMPARE(followed(opened[0], QStringLiteral("src")), Picture);
        // Below a folder of the user's alone.
        const QFileInfo folder{QFileInfo(opened[0]).path()};
        QCOMPARE(QFileInfo(folder.path()).permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFileDevice::Permissions());
        // A changed document is unpacked afresh.
        drives.writeFile(QStringLiteral("C:\\Suite\\Aide.mht"), savedPage("cid:photo@site"));
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QCOMPARE(opened.size(), 3);
        QVERIFY(opened[2] != opened[0]);
        QCOMPARE(followed(opened[2], QStringLiteral("src")), Picture);
    }

    // The real opener: its exit status says whether a program took the
    // document; a missing opener counts as none.
    void openerThatFindsNoProgramIsSaid_data() {
        QTest::addColumn<QString>("opener"); // shell script body; empty: no opener at all
        QTest::addColumn<bool>("told");
        QTest::newRow("a program took it") << "exit 0" << false;
        QTest::newRow("no program for the type") << "exit 3" << true;
        QTest::newRow("the program failed") << "exit 4" << true;
        QTest::newRow("no opener installed") << "" << true;
    }
    void openerThatFindsNoProgramIsSaid() {
        QFETCH(QString, opener);
        QFETCH(bool, told);
        TempDrives drives;
        drives.addDrive(u'C');
        drives.writeFile(QStringLiteral("C:\\Suite\\Tavrin.htm"), "<html></html>");
        QTemporaryDir bin;
        if (!opener.isEmpty()) {
            QFile script(bin.filePath(QStringLiteral("xdg-open")));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\n" + opener.toUtf8() + "\n");
            script.close();
            script.setPermissions(script.permissions() | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        bool ended = false, took = false;
        openWatched(drives.hostRoot(), [&](bool opened) {
            ended = true;
            took = opened;
        });
        QTRY_VERIFY(ended);
        QCOMPARE(took, !told);
        if (!told)
            return;
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Tavrin.htm"), nullptr);
        QTRY_COMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].text.startsWith(
            QStringLiteral("Aucun programme ne peut ouvrir C:\\Suite\\Tavrin.htm\r")));
    }

    void noProgramSaysWhatToInstall_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("install");
        QTest::newRow("web page") << "C:\\Suite\\Tavrin.htm"
                                  << "un navigateur Web";
        QTest::newRow("saved web page") << "C:\\Suite\\CD_Site.MHT"
                                        << "un navigateur Web";
        QTest::newRow("PDF") << "C:\\Suite\\PresRequis.pdf"
                             << "un lecteur de documents PDF";
        QTest::newRow("address") << "https://orvane.example/"
                                 << "un navigateur Web";
        QTest::newRow("other") << "C:\\Suite\\notes.odt"
                               << "un programme qui ouvre ce type de document";
    }
    void noProgramSaysWhatToInstall() {
        QFETCH(QString, target);
        QFETCH(QString, install);
        const QString text = noProgramText(target);
        QVERIFY2(text.contains(target), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\rInstallez ") + install + QStringLiteral(", ")),
                 qPrintable(text));
    }
};

QTEST_MAIN(TstDocuments)
#include "tst_documents.moc"
