#include "platform/Process.h"
#include "TempDrives.h"
#include "toolkit/Documents.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Mhtml.h"

#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

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

// A saved page made of the given parts, each its headers and its body.
struct Piece {
    QByteArray headers;
    QByteArray body;
};
QByteArray multipart(const QList<Piece>& pieces, const QByteArray& topParameters = {}) {
    QByteArray out = "Content-Type: multipart/related; boundary=\"B\"" + topParameters + "\r\n\r\n";
    for (const Piece& piece : pieces)
        out += "--B\r\n" + piece.headers + "\r\n\r\n" + piece.body + "\r\n";
    return out + "--B--\r\n";
}

// A page showing a picture at each location, each picture its own bytes.
QByteArray pictures(const QStringList& locations) {
    QByteArray page = "<html><body>";
    QList<Piece> pieces{{}};
    for (qsizetype i = 0; i < locations.size(); ++i) {
        page += "<img src=\"" + locations[i].toUtf8() + "\">";
        pieces << Piece{"Content-Type: image/jpeg\r\nContent-Location: https://site.example/" +
                            locations[i].toUtf8(),
                        "image " + QByteArray::number(i)};
    }
    pieces[0] = {"Content-Type: text/html\r\nContent-Location: https://site.example/page.htm",
                 page + "</body></html>"};
    return multipart(pieces);
}

// The cache folder of unpacked documents, below the test's runtime folder.
QDir unpackedRoot(const QString& runtime) {
    return QDir(runtime + QStringLiteral("/pelmora-documents"));
}

} // namespace

class TstDocuments : public QObject {
    Q_OBJECT

    QList<MessageRequest> m_boxes;
    // The unpacked documents go there, nowhere else; afresh for each test.
    std::unique_ptr<QTemporaryDir> m_runtime;

private slots:
    void init() {
        m_runtime = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
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

    // The start parameter names the page; without it, the first HTML part is.
    void thePageIsTheStartPart_data() {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QString>("page");
        QTest::newRow("start names the second") << QByteArray("<deux@x>") << "deux.htm";
        QTest::newRow("no start") << QByteArray() << "un.htm";
        QTest::newRow("start names no part") << QByteArray("<trois@x>") << "un.htm";
    }
    void thePageIsTheStartPart() {
        QFETCH(QByteArray, start);
        QFETCH(QString, page);
        const QByteArray html = "Content-Type: text/html\r\nContent-Location: https://s.example/";
        const QByteArray document = multipart(
            {{html + "un.htm\r\nContent-ID: <un@x>", "<p>un</p>"},
             {html + "deux.htm\r\nContent-ID: <deux@x>", "<p>deux</p>"}},
            start.isEmpty() ? QByteArray() : "; start=\"" + start + "\"");
        QTemporaryDir folder;
        QCOMPARE(QFileInfo(unpackMhtml(document, folder.path())).fileName(), page);
    }

    // Parts whose names meet (in other folders, in another case, or like a
    // name given to tell two apart) each keep a file of their own.
    void samePartNamesAreToldApart_data() {
        QTest::addColumn<QStringList>("locations");
        QTest::newRow("two folders") << QStringList{"a/photo.jpg", "b/photo.jpg"};
        QTest::newRow("case only") << QStringList{"photo.jpg", "PHOTO.JPG"};
        QTest::newRow("a name like a given one")
            << QStringList{"a/photo.jpg", "b/photo.jpg", "2_photo.jpg", "c/photo.jpg"};
        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << QStringLiteral("d%1/photo.jpg").arg(i);
        QTest::newRow("many of one name") << many;
    }
    void samePartNamesAreToldApart() {
        QFETCH(QStringList, locations);
        QTemporaryDir folder;
        const QString page = unpackMhtml(pictures(locations), folder.path());
        QVERIFY(!page.isEmpty());
        for (qsizetype i = 0; i < locations.size(); ++i)
            QCOMPARE(followed(page, QStringLiteral("src"), int(i)), "image " + QByteArray::number(i));
    }

    // A document the platform would not read is said, never read: a pipe
    // would hang the window, a device never end, a huge file fill memory.
    void unreadableDocumentsAreSaid_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        const QString unreadable = QStringLiteral(
            "Le document C:\\Suite\\Aide.mht ne peut pas être lu : Accès au fichier refusé.");
        QTest::newRow("pipe") << "pipe" << unreadable;
        QTest::newRow("device") << "device" << unreadable;
        QTest::newRow("too large")
            << "large"
            << QStringLiteral("Le document C:\\Suite\\Aide.mht est trop volumineux pour être "
                              "ouvert (plus de 256 Mo).");
    }
    void unreadableDocumentsAreSaid() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        TempDrives drives;
        drives.addDrive(u'C');
        const QString host = drives.makeFolder(QStringLiteral("C:\\Suite")) + "/Aide.mht";
        if (kind == u"pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(host).constData(), 0600), 0);
        } else if (kind == u"device") {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), host));
        } else {
            QFile large(host); // sparse: takes no room
            QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(MaxSavedPageSize + 1));
        }
        QStringList opened;
        platform::setOpenHook([&](const QString& target) {
            opened << target;
            return true;
        });
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QTRY_COMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, text);
        QVERIFY(opened.isEmpty());
    }

    // An unpack cut short is never used: the next open unpacks afresh.
    void anIncompleteUnpackIsReplaced_data() {
        QTest::addColumn<QString>("damage"); // done to the unpacked folder
        QTest::newRow("no marker") << "rm .page";
        QTest::newRow("empty marker") << "empty .page";
        QTest::newRow("a part missing") << "rm photo.jpg";
        QTest::newRow("a part cut short") << "empty style.css";
        QTest::newRow("nothing but the marker") << "rm *";
    }
    void anIncompleteUnpackIsReplaced() {
        QFETCH(QString, damage);
        TempDrives drives;
        drives.addDrive(u'C');
        drives.writeFile(QStringLiteral("C:\\Suite\\Aide.mht"), savedPage("images/photo.jpg"));
        QStringList opened;
        platform::setOpenHook([&](const QString& target) {
            opened << target;
            return true;
        });
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QTRY_COMPARE(opened.size(), 1);
        QDir unpacked = QFileInfo(opened[0]).dir();
        const auto [action, name] = std::pair(damage.section(u' ', 0, 0), damage.section(u' ', 1));
        if (name == u"*") {
            for (const QString& file : unpacked.entryList(QDir::Files))
                QVERIFY(unpacked.remove(file));
        } else if (action == u"rm") {
            QVERIFY(unpacked.remove(name));
        } else {
            QVERIFY(QFile(unpacked.filePath(name)).resize(0));
        }
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QTRY_COMPARE(opened.size(), 2);
        QCOMPARE(opened[1], opened[0]);
        QCOMPARE(followed(opened[1], QStringLiteral("src")), Picture);
        QCOMPARE(followed(opened[1], QStringLiteral("href")), Style);
        // Nothing left over beside the one unpack.
        QCOMPARE(unpackedRoot(m_runtime->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{unpacked.dirName()});
    }

    // A part that cannot be written in full (a full disk) leaves no unpack
    // behind: the opener is handed the document itself, and the next open,
    // with room again, unpacks it whole.
    void aFailedWriteKeepsNoUnpack() {
        TempDrives drives;
        drives.addDrive(u'C');
        const QString host = drives.writeFile(
            QStringLiteral("C:\\Suite\\Aide.mht"),
            multipart({{"Content-Type: text/html", "<img src=\"cid:grand\">"},
                       {"Content-Type: image/png\r\nContent-ID: <grand>", QByteArray(8192, 'x')}}));
        QStringList opened;
        platform::setOpenHook([&](const QString& target) {
            opened << target;
            return true;
        });
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = before;
        small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QTRY_COMPARE(opened.size(), 1);
        ::setrlimit(RLIMIT_FSIZE, &before);
        ::signal(SIGXFSZ, oldSignal);
        QCOMPARE(opened[0], host);
        QCOMPARE(unpackedRoot(m_runtime->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());

        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QTRY_COMPARE(opened.size(), 2);
        QCOMPARE(followed(opened[1], QStringLiteral("src")), QByteArray(8192, 'x'));
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
        QTRY_COMPARE(opened.size(), 1);
        openDocumentOrTell(QStringLiteral("C:\\Suite\\Aide.mht"), nullptr);
        QTRY_COMPARE(opened.size(), 2);
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
        QTRY_COMPARE(opened.size(), 3);
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
