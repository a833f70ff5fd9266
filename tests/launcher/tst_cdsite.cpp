#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "launcher/AutorunInf.h"
#include "launcher/RootSave.h"
#include "launcher/u_CdSite.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WorkingFolder.h"
#include "Readable.h"
#include "TempDrives.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"
#include "toolkit/OpenFileDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStringEncoder>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace pelmora;

namespace {

const QString NotRoot =
    QStringLiteral("La racine n'est pas sélectionné correctement à l'étape 2!\rRecommencez");
const QString NoStartPage =
    QStringLiteral("Vous devez sélectionner le fichier Index.htm, ou semblable (voir aide) "
                   "servant pour l'autorun\rRecommencez");
const QString Failed =
    QStringLiteral("L'un des composants n'est pas sélectionné correctement.\rRecommencez");
const QString Saved = QStringLiteral("Racine du disque virtuel enregistrée : X:\\");
// The general message, with the line that names the step that failed.
QString failedAt(const QString& step) {
    return Failed + u'\r' + step;
}
const QString AskText = QStringLiteral(
    "Voulez-vous enregistrer ? Ne cliquez le bouton Oui, que si Autorun.inf vous semble correct");

// The autorun program and the help document in the suite folder, below it.
const QString SuiteProgram =
    suite::name(suite::AutorunFolder) + u'/' + suite::name(suite::AutorunProgram);
const QString SuiteHelp = suite::name(suite::CdSiteDocument);

// The suite folder the site window is given.
const QString SuiteFolder = QStringLiteral("C:\\Pelmora");
const QByteArray ProgramBytes = QByteArray("MZ") + QByteArray(20000, '\x90');
const QByteArray SiteIcon = QByteArray("\0\0\1\0site", 8);
const QByteArray OtherIcon = QByteArray("\0\0\1\0autre", 9);

QByteArray autorun(const QByteArray& icon, const QByteArray& page) {
    return "[Autorun]\r\nOPEN=Zolvex.exe\r\nICON=" + icon + "\r\nHTM=" + page + "\r\n";
}

// The same lines in UTF-16, for names outside Windows-1252.
QByteArray unicodeAutorun(const QString& icon, const QString& page) {
    const QString text =
        QString::fromLatin1(autorun("\x01", "\x02")).replace(u'\x01', icon).replace(u'\x02', page);
    return "\xFF\xFE" + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
}

QStringList rootNames(const QString& hostRoot) {
    return QDir(hostRoot).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Remembers every text the status panel was painted with.
class PaintRecorder : public QObject {
public:
    QStringList painted;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted << static_cast<QLabel*>(watched)->text();
        return false;
    }
};

} // namespace

class TstCdSite : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDrives> m_drives;
    std::unique_ptr<TForm3> m_form;
    QString m_root; // host folder of X:\ for the current test
    int m_rootCount = 0;
    QList<toolkit::MessageRequest> m_boxes;
    toolkit::Answer m_answer = toolkit::Answer::Yes;
    bool m_cursorDuringBox = false;

    QPushButton* button(const char* name) const {
        return m_form->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    // The suite's icon chosen through the browse dialog.
    void chooseIcon(const QString& hostPath) {
        setIconDialog([hostPath](QWidget*, const QString&) { return hostPath; });
        button("BtParcourir")->click();
        setIconDialog({});
    }
    QString suiteHost(const QString& relative) const {
        return m_drives->hostRoot() + QStringLiteral("/disk_c/Pelmora/") + relative;
    }

    void openRoot(const QString& folder = QStringLiteral("X:\\")) {
        m_form->DLB()->setDirectory(folder);
    }
    void selectPage(const QString& name) {
        const QList<QListWidgetItem*> items = m_form->FLB()->findItems(name, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        m_form->FLB()->setCurrentItem(items.first());
        QCOMPARE(m_form->FLB()->fileName(), name);
    }
    void save() {
        m_boxes.clear();
        button("BtEnreg")->click();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
    QStringList boxTexts() const {
        QStringList texts;
        for (const auto& box : m_boxes)
            texts << box.text;
        return texts;
    }
    QStringList memoLines() const { return m_form->Memo1()->toPlainText().split(u'\n'); }
    QByteArray rootFile(const QString& name) const {
        return m_drives->readFile(QStringLiteral("X:\\") + name);
    }

    void answerBoxes() {
        toolkit::setMessageHook([this](const toolkit::MessageRequest& request) {
            m_boxes << request;
            m_cursorDuringBox = m_cursorDuringBox || QApplication::overrideCursor() != nullptr;
            return request.buttons == toolkit::Buttons::Ok ? toolkit::Answer::Ok : m_answer;
        });
    }

private slots:
    void initTestCase() {
        m_drives = std::make_unique<TempDrives>();
        QVERIFY(m_drives->isValid());
        m_drives->addDrive(u'C');
        m_drives->writeFile(QStringLiteral("C:\\Pelmora\\") +
                                QString(SuiteProgram).replace(u'/', u'\\'),
                            ProgramBytes);
        m_drives->writeFile(QStringLiteral("C:\\Pelmora\\ico\\site.ico"), SiteIcon);
        m_drives->writeFile(QStringLiteral("C:\\Pelmora\\ico\\autre.ico"), OtherIcon);
        m_drives->writeFile(QStringLiteral("C:\\Pelmora\\") + SuiteHelp, "MIME-Version: 1.0");
        platform::setCurrentFolder(QStringLiteral("C:\\Pelmora"));

        answerBoxes();
    }

    void cleanupTestCase() {
        toolkit::setMessageHook({});
        m_drives.reset();
    }

    // A fresh virtual disk and window for every test: the root holds the
    // start page and a subfolder, as a user prepares it.
    void init() {
        m_root = m_drives->addDrive(u'X', m_drives->hostRoot() +
                                              QStringLiteral("/root%1").arg(++m_rootCount));
        QDir().mkpath(m_root);
        m_drives->writeFile(QStringLiteral("X:\\index.htm"), "<html></html>");
        m_drives->writeFile(QStringLiteral("X:\\site\\page.htm"), "<html></html>");
        m_boxes.clear();
        m_answer = toolkit::Answer::Yes;
        m_cursorDuringBox = false;
        m_form = std::make_unique<TForm3>(SuiteFolder);
        openRoot();
    }
    void cleanup() {
        QVERIFY(!m_cursorDuringBox);
        m_form.reset();
        setIconDialog({});
        platform::setOpenHook({});
    }

    void windowMatchesItsLayout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Memo2") << "Memo2" << QRect(15, 9, 465, 105) << "";
        QTest::newRow("GroupBox1") << "GroupBox1" << QRect(15, 120, 177, 57)
                                   << QStringLiteral("1.Sélection du disque virtuel");
        QTest::newRow("DCB") << "DCB" << QRect(8, 24, 161, 19) << "";
        QTest::newRow("GroupBox2") << "GroupBox2" << QRect(15, 184, 177, 209)
                                   << QStringLiteral("2.Sélection de la racine virtuellel");
        QTest::newRow("DLB") << "DLB" << QRect(8, 16, 161, 185) << "";
        QTest::newRow("GroupBox3") << "GroupBox3" << QRect(15, 400, 177, 65)
                                   << QStringLiteral("3. Sélection du fichier index.htm");
        QTest::newRow("FLB") << "FLB" << QRect(8, 16, 161, 41) << "";
        QTest::newRow("GroupBox4") << "GroupBox4" << QRect(15, 471, 177, 57)
                                   << QStringLiteral("4. Chercher un fichier ICO");
        QTest::newRow("BtParcourir") << "BtParcourir" << QRect(16, 24, 145, 25) << "Parcourir";
        QTest::newRow("GroupBox5")
            << "GroupBox5" << QRect(199, 119, 281, 161)
            << QStringLiteral("Autorun.inf  (Vérifiez l'exactitude, ne rien écrire)");
        QTest::newRow("Memo1") << "Memo1" << QRect(7, 16, 265, 137) << "";
        QTest::newRow("BtEnreg") << "BtEnreg" << QRect(198, 286, 281, 33)
                                 << "Voir et enregistrer le racine disque virtuel";
        QTest::newRow("BtAide") << "BtAide" << QRect(198, 325, 145, 41) << "&Aide";
        QTest::newRow("BtQuitter") << "BtQuitter" << QRect(352, 325, 129, 41) << "Quitter";
        QTest::newRow("Pl") << "Pl" << QRect(198, 372, 281, 33) << "";
        QTest::newRow("GroupBox9")
            << "GroupBox9" << QRect(198, 411, 281, 117) << "Renseignez-vous sur les sites suivants";
        QTest::newRow("address 1") << "Label1" << QRect(26, 20, 151, 16) << suite::siteAddress1();
        QTest::newRow("address 2") << "Label2" << QRect(26, 38, 151, 16) << suite::siteAddress2();
        QTest::newRow("address 3") << "Label3" << QRect(26, 56, 117, 16) << suite::siteAddress3();
        QTest::newRow("version") << "Label4" << QRect(24, 80, 242, 13)
                                 << suite::versionText() + "         (Ni spam, ni cookies)";
    }
    void windowMatchesItsLayout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QCOMPARE(m_form->windowTitle(), QStringLiteral("CD_Site"));
        QCOMPARE(m_form->size(), QSize(489, 544));
        auto* widget = m_form->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* box = qobject_cast<QGroupBox*>(widget))
            QCOMPARE(box->title(), caption);
        else if (auto* push = qobject_cast<QPushButton*>(widget))
            QCOMPARE(push->text(), caption);
        else if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), caption);
    }

    void instructionsAreTheNineLines() {
        const QStringList lines =
            m_form->findChild<QPlainTextEdit*>("Memo2")->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines, TForm3::instructionLines());
        QCOMPARE(lines[3], QStringLiteral("- Vous devez avoir créé le répertoire principal du "
                                          "disque virtuel et il doit "));
        QCOMPARE(lines[6], QStringLiteral(" <Voir et enregistrer la racine du disque virtuel>"));
        QCOMPARE(m_form->FLB()->mask(), QStringLiteral("*.htm*"));
    }

    // Another program changes the root while the save is between two of its
    // writes: the save reads the root once, yet finds what is there then.
    void saveSeesTheRootAsItIsAtEachStep_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("before"); // a name at the root before the save
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("program named in capitals meanwhile")
            << int(pelmora::SaveStep::Program) << ""
            << "printf old > ZOLVEX.EXE"
            << "ZOLVEX.EXE" << ProgramBytes;
        QTest::newRow("the user's icon written meanwhile") << int(pelmora::SaveStep::Icon) << ""
                                                           << "printf user > SITE.ICO"
                                                           << "SITE.ICO" << QByteArray("user");
        QTest::newRow("the user's icon moved away meanwhile")
            << int(pelmora::SaveStep::Icon) << "SITE.ICO"
            << "mv SITE.ICO site"
            << "site.ico" << SiteIcon;
    }
    void saveSeesTheRootAsItIsAtEachStep() {
        QFETCH(int, step);
        QFETCH(QString, before);
        QFETCH(QString, command);
        QFETCH(QString, written);
        QFETCH(QByteArray, bytes);
        if (!before.isEmpty())
            m_drives->writeFile(QStringLiteral("X:\\") + before, "user");
        const QByteArray text = pelmora::AutorunBytes(
            pelmora::AutorunLines(QStringLiteral("C:\\Pelmora\\ico\\site.ico"), "index.htm"));
        const pelmora::RootSaveOutcome outcome = pelmora::SaveRoot(
            QStringLiteral("X:\\"), text, SuiteFolder, QStringLiteral("C:\\Pelmora\\ico\\site.ico"),
            [&](pelmora::SaveStep starting) {
                if (int(starting) != step)
                    return;
                QProcess other;
                other.setWorkingDirectory(m_root);
                other.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
                QVERIFY(other.waitForFinished() && other.exitCode() == 0);
            });
        QVERIFY(outcome.saved());
        QCOMPARE(rootFile(written), bytes);
        // Nothing written beside it under another case.
        const QStringList names = QDir(m_root).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(names.filter(written, Qt::CaseInsensitive), QStringList{written});
        QCOMPARE(names.filter(QStringLiteral("zolvex.exe"), Qt::CaseInsensitive).size(), 1);
    }

    void saveWritesTheRootFilesByteForByte_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("index and site icon") << "index.htm"
                                             << "site.ico" << autorun("site.ico", "index.htm");
        QTest::newRow("accented start page") << QStringLiteral("accueil_été.htm") << "site.ico"
                                             << autorun("site.ico", "accueil_\xE9t\xE9.htm");
        QTest::newRow("accented icon")
            << "index.htm" << QStringLiteral("icône.ico") << autorun("ic\xF4ne.ico", "index.htm");
        QTest::newRow("Russian start page")
            << QStringLiteral("Москва.htm") << "site.ico"
            << unicodeAutorun("site.ico", QStringLiteral("Москва.htm"));
        QTest::newRow("Japanese icon") << "index.htm" << QStringLiteral("日本.ico")
                                       << unicodeAutorun(QStringLiteral("日本.ico"), "index.htm");
    }
    void saveWritesTheRootFilesByteForByte() {
        QFETCH(QString, page);
        QFETCH(QString, icon);
        QFETCH(QByteArray, expected);
        m_drives->writeFile(QStringLiteral("X:\\") + page, "<html>");
        m_drives->writeFile(QStringLiteral("C:\\Pelmora\\ico\\") + icon, SiteIcon);
        m_form->FLB()->refresh();
        selectPage(page);
        chooseIcon(suiteHost(QStringLiteral("ico/") + icon));
        QCOMPARE(m_form->iconPath(), QStringLiteral("C:\\Pelmora\\ico\\") + icon);

        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        PaintRecorder recorder;
        m_form->Pl()->installEventFilter(&recorder);
        save();

        QCOMPARE(boxTexts(), (QStringList{AskText, Saved}));
        const toolkit::MessageRequest& ask = m_boxes.first();
        QCOMPARE(ask.keepVisible, m_form->Memo1());
        QCOMPARE(ask.caption, QStringLiteral("Avertissement"));
        QCOMPARE(ask.text, AskText);
        QCOMPARE(ask.buttons, toolkit::Buttons::YesNo);
        QCOMPARE(ask.icon, toolkit::BoxIcon::Warning);
        QCOMPARE(ask.defaultAnswer, toolkit::Answer::Yes);
        QCOMPARE(ask.yesText, QStringLiteral("&Oui"));
        QCOMPARE(ask.noText, QStringLiteral("&Non"));

        QCOMPARE(memoLines(),
                 (QStringList{"[Autorun]", "OPEN=Zolvex.exe", "ICON=" + icon, "HTM=" + page}));
        QCOMPARE(rootFile("Autorun.inf"), expected);
        QCOMPARE(rootFile("zolvex.exe"), ProgramBytes);
        QCOMPARE(rootFile(icon), SiteIcon);
        QCOMPARE(platform::fileAttributes("X:\\zolvex.exe") &
                     (platform::AttrReadOnly | platform::AttrHidden),
                 0u);
        QStringList names{"Autorun.inf", "index.htm", "site", "zolvex.exe", icon};
        if (page != u"index.htm")
            names << page;
        names.sort(Qt::CaseInsensitive);
        QStringList actual = rootNames(m_root);
        actual.sort(Qt::CaseInsensitive);
        QCOMPARE(actual, names); // nothing else, no temporary file left
        // Each step was on the panel before it ran, and the panel is idle now.
        const QStringList steps{"Copie Autorun.inf", "Copie Zolvex.exe", m_form->iconPath()};
        for (const QString& step : steps)
            QVERIFY2(recorder.painted.contains(step), qPrintable(step));
        QVERIFY(recorder.painted.indexOf(steps[0]) < recorder.painted.indexOf(steps[1]));
        QVERIFY(recorder.painted.indexOf(steps[1]) < recorder.painted.indexOf(steps[2]));
        QCOMPARE(m_form->Pl()->text(), QString());
    }

    void ordinaryFilesAtTheRootAreReplaced() {
        m_drives->writeFile("X:\\Autorun.inf", QByteArray(300, 'a'));
        m_drives->writeFile("X:\\zolvex.exe", QByteArray(30000, 'z'));
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        save();
        QCOMPARE(boxTexts(), (QStringList{AskText, Saved}));
        QCOMPARE(rootFile("Autorun.inf"), autorun("site.ico", "index.htm"));
        QCOMPARE(rootFile("zolvex.exe"), ProgramBytes);
    }

    void wrongFolderOrNoStartPageWritesNothing_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("message");
        QTest::newRow("subfolder, page selected") << "X:\\site"
                                                  << "page.htm" << NotRoot;
        QTest::newRow("subfolder, nothing selected") << "X:\\site"
                                                     << "" << NotRoot;
        QTest::newRow("root, nothing selected") << "X:\\"
                                                << "" << NoStartPage;
    }
    void wrongFolderOrNoStartPageWritesNothing() {
        QFETCH(QString, folder);
        QFETCH(QString, page);
        QFETCH(QString, message);
        chooseIcon(suiteHost("ico/site.ico"));
        openRoot(folder);
        if (!page.isEmpty())
            selectPage(page);
        else
            m_form->FLB()->setCurrentRow(-1);
        const QStringList before = rootNames(m_root);
        save();
        QCOMPARE(boxTexts(), QStringList{message});
        QCOMPARE(m_boxes.first().buttons, toolkit::Buttons::Ok);
        QCOMPARE(rootNames(m_root), before);
        QCOMPARE(m_form->Memo1()->toPlainText(), QString());
    }

    void noToTheQuestionWritesNothingAndKeepsTheLines() {
        m_drives->writeFile("X:\\Autorun.inf", "old");
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        m_answer = toolkit::Answer::No;
        const QStringList before = rootNames(m_root);
        save();
        QCOMPARE(boxTexts(), QStringList{AskText});
        QCOMPARE(memoLines(),
                 (QStringList{"[Autorun]", "OPEN=Zolvex.exe", "ICON=site.ico", "HTM=index.htm"}));
        QCOMPARE(rootNames(m_root), before);
        QCOMPARE(rootFile("Autorun.inf"), QByteArray("old"));
        QCOMPARE(m_form->Pl()->text(), QString());
    }

    void protectedAutorunInfStopsBeforeAnyWrite_data() {
        QTest::addColumn<int>("attributes");
        QTest::newRow("read-only") << int(platform::AttrReadOnly);
        QTest::newRow("hidden") << int(platform::AttrHidden);
        QTest::newRow("system") << int(platform::AttrSystem);
    }
    void protectedAutorunInfStopsBeforeAnyWrite() {
        QFETCH(int, attributes);
        m_drives->writeFile("X:\\Autorun.inf", "old");
        if (platform::setFileAttributes("X:\\Autorun.inf", std::uint32_t(attributes)) != 0)
            QSKIP("this file system keeps no extended attributes");
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        const QStringList before = rootNames(m_root);
        save();
        QCOMPARE(boxTexts(),
                 (QStringList{AskText, failedAt("écriture refusée sur X:\\Autorun.inf")}));
        QCOMPARE(m_boxes.last().buttons, toolkit::Buttons::Ok);
        QCOMPARE(rootNames(m_root), before);
        QCOMPARE(rootFile("Autorun.inf"), QByteArray("old"));
        QVERIFY(platform::fileAttributes("X:\\Autorun.inf") & std::uint32_t(attributes));
        QCOMPARE(m_form->Pl()->text(), QStringLiteral("Copie Autorun.inf"));
    }

    void protectedProgramAtTheRootIsKept_data() {
        QTest::addColumn<int>("attributes");
        QTest::newRow("read-only") << int(platform::AttrReadOnly);
        QTest::newRow("hidden") << int(platform::AttrHidden);
        QTest::newRow("system") << int(platform::AttrSystem);
    }
    void protectedProgramAtTheRootIsKept() {
        QFETCH(int, attributes);
        m_drives->writeFile("X:\\zolvex.exe", "old program");
        if (platform::setFileAttributes("X:\\zolvex.exe", std::uint32_t(attributes)) != 0)
            QSKIP("this file system keeps no extended attributes");
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        save();
        QCOMPARE(boxTexts(),
                 (QStringList{AskText, failedAt("écriture refusée sur X:\\zolvex.exe")}));
        QCOMPARE(rootFile("zolvex.exe"), QByteArray("old program"));
        QVERIFY(platform::fileAttributes("X:\\zolvex.exe") & std::uint32_t(attributes));
        // Written before the failure, and left so.
        QCOMPARE(rootFile("Autorun.inf"), autorun("site.ico", "index.htm"));
        QVERIFY(rootFile("site.ico").isNull());
        QCOMPARE(m_form->Pl()->text(), QStringLiteral("Copie Zolvex.exe"));
    }

    void programMissingFromTheSuiteKeepsTheRootCopy() {
        const QString source = suiteHost(SuiteProgram);
        QVERIFY(QFile::rename(source, source + ".away"));
        const auto restore = qScopeGuard([&] { QFile::rename(source + ".away", source); });
        m_drives->writeFile("X:\\zolvex.exe", "earlier copy");
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        save();
        QCOMPARE(boxTexts(),
                 (QStringList{AskText,
                              failedAt("programme Zolvex.exe absent de C:\\Pelmora\\racineCD")}));
        QCOMPARE(rootFile("zolvex.exe"), QByteArray("earlier copy"));
        QCOMPARE(rootFile("Autorun.inf"), autorun("site.ico", "index.htm"));
        QVERIFY(rootFile("site.ico").isNull());
    }

    void iconProblemsEndWithTheGeneralMessage_data() {
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<QByteArray>("iconName");
        QTest::addColumn<QString>("step");
        QTest::newRow("no icon chosen") << false << QByteArray("") << "aucune icône choisie";
        QTest::newRow("icon no longer exists")
            << true << QByteArray("perdu.ico") << "icône absente : C:\\Pelmora\\ico\\perdu.ico";
    }
    void iconProblemsEndWithTheGeneralMessage() {
        QFETCH(bool, chosen);
        QFETCH(QByteArray, iconName);
        QFETCH(QString, step);
        selectPage("index.htm");
        if (chosen) {
            const QString icon = suiteHost("ico/" + QString::fromLatin1(iconName));
            m_drives->writeFile("C:\\Pelmora\\ico\\" + QString::fromLatin1(iconName), SiteIcon);
            chooseIcon(icon);
            QVERIFY(QFile::remove(icon));
        }
        save();
        QCOMPARE(boxTexts(), (QStringList{AskText, failedAt(step)}));
        QCOMPARE(memoLines()[2], "ICON=" + QString::fromLatin1(iconName));
        QCOMPARE(rootFile("Autorun.inf"), autorun(iconName, "index.htm"));
        QCOMPARE(rootFile("zolvex.exe"), ProgramBytes);
        QStringList names{"Autorun.inf", "index.htm", "site", "zolvex.exe"};
        QCOMPARE(rootNames(m_root), names);
        QCOMPARE(m_form->Pl()->text(), m_form->iconPath());
    }

    // The root's files are written as files of the root: a link in their
    // place is replaced, and what it points at outside is left as it was.
    void linksAtTheRootAreReplacedNeverWrittenThrough_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pointsAt"); // "file", "folder" or "nothing" outside the root
        QTest::newRow("program, link to a file") << "zolvex.exe"
                                                 << "file";
        QTest::newRow("program, dangling link") << "zolvex.exe"
                                                << "nothing";
        QTest::newRow("program, link to a folder") << "zolvex.exe"
                                                   << "folder";
        QTest::newRow("icon, dangling link") << "site.ico"
                                             << "nothing";
        QTest::newRow("icon, link to a folder") << "site.ico"
                                                << "folder";
    }
    void linksAtTheRootAreReplacedNeverWrittenThrough() {
        QFETCH(QString, name);
        QFETCH(QString, pointsAt);
        const QString outside = m_drives->hostRoot() + "/outside" + QString::number(m_rootCount);
        if (pointsAt == "file") {
            QFile file(outside);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("precious");
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner)); // read-only, and to stay so
        } else if (pointsAt == "folder") {
            QVERIFY(QDir().mkpath(outside));
        }
        QVERIFY(QFile::link(outside, m_root + u'/' + name));
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        save();
        QCOMPARE(boxTexts(), (QStringList{AskText, Saved}));
        QVERIFY(!QFileInfo(m_root + u'/' + name).isSymLink());
        QCOMPARE(rootFile(name), name == "site.ico" ? SiteIcon : ProgramBytes);
        if (pointsAt == "file") {
            QFile file(outside);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("precious"));
            QCOMPARE(QFile::permissions(outside) & QFile::WriteOwner, QFile::Permissions());
        } else if (pointsAt == "folder") {
            QVERIFY(QDir(outside).isEmpty());
        } else {
            QVERIFY(!QFileInfo::exists(outside));
        }
        QCOMPARE(rootNames(m_root),
                 (QStringList{"Autorun.inf", "index.htm", "site", "site.ico", "zolvex.exe"}));
    }

    // Another process that can write the root swaps a file just saved for a
    // link: nothing the save does afterwards reaches the file it leads to.
    void aLinkSwappedInAfterTheSaveIsNotFollowed_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("program") << "zolvex.exe";
        QTest::newRow("icon") << "site.ico";
    }
    void aLinkSwappedInAfterTheSaveIsNotFollowed() {
        QFETCH(QString, name);
        const QString outside = m_drives->hostRoot() + "/protege" + QString::number(m_rootCount);
        const QByteArray host = QFile::encodeName(outside);
        QFile(outside).open(QIODevice::WriteOnly);
        if (::setxattr(host.constData(), "user.DOSATTRIB", "0x2", 3, 0) != 0)
            QSKIP("this file system keeps no extended attributes");
        QVERIFY(QFile::setPermissions(outside, QFile::ReadOwner));
        const QString swapped = m_root + u'/' + name;
        platform::setReplacementHookForTests([&](platform::ReplacementStep step) {
            if (step == platform::ReplacementStep::Renamed && QFileInfo(swapped).isFile() &&
                !QFileInfo(swapped).isSymLink()) {
                QFile::remove(swapped);
                QFile::link(outside, swapped);
            }
        });
        const auto unhook = qScopeGuard([] { platform::setReplacementHookForTests({}); });
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        save();
        QVERIFY(QFileInfo(swapped).isSymLink());
        QCOMPARE(QFile::permissions(outside) & QFile::WriteOwner, QFile::Permissions());
        char text[8] = {};
        QCOMPARE(::getxattr(host.constData(), "user.DOSATTRIB", text, sizeof text), ssize_t(3));
        QCOMPARE(QByteArray(text), QByteArray("0x2"));
    }

    // A save killed on the way may have left a temporary file at the root; the
    // next save removes it, and only what is surely such a leftover.
    void leftoversOfAKilledSaveAreRemoved_data() {
        QTest::addColumn<QString>("name"); // "%dead" and "%live": a process's number
        QTest::addColumn<bool>("removed");
        QTest::newRow("of a process gone") << "~%dead-0.tmp" << true;
        QTest::newRow("of a process still running") << "~%live-3.tmp" << false;
        QTest::newRow("a file of the user's") << "~notes.tmp" << false;
        QTest::newRow("a name like it") << "~%dead-0.tmp.htm" << false;
    }
    void leftoversOfAKilledSaveAreRemoved() {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0);
        QCOMPARE(::waitpid(child, nullptr, 0), child);
        name.replace(QStringLiteral("%dead"), QString::number(child));
        name.replace(QStringLiteral("%live"), QString::number(::getppid()));
        m_drives->writeFile(QStringLiteral("X:\\") + name, QByteArray(1000, 't'));
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        save();
        QCOMPARE(boxTexts(), (QStringList{AskText, Saved}));
        QCOMPARE(QFileInfo::exists(m_root + u'/' + name), !removed);
    }

    // An endless device chosen as the icon is refused, nothing written for it.
    void deviceAsTheIconIsNotCopied() {
        selectPage("index.htm");
        chooseIcon(QStringLiteral("/dev/zero"));
        QCOMPARE(m_form->iconPath(), QStringLiteral("Z:\\dev\\zero"));
        save();
        QCOMPARE(boxTexts(), (QStringList{AskText, failedAt(QStringLiteral(
                                                       "Z:\\dev\\zero n'est pas un fichier "
                                                       "ordinaire : il ne peut pas être copié"))}));
        QCOMPARE(rootNames(m_root),
                 (QStringList{"Autorun.inf", "index.htm", "site", "zolvex.exe"}));
    }

    void iconAlreadyAtTheRootIsNotCopiedAgain_data() {
        QTest::addColumn<bool>("chosenAtTheRoot");
        QTest::newRow("copied by an earlier save") << false;
        QTest::newRow("chosen at the root itself") << true;
    }
    void iconAlreadyAtTheRootIsNotCopiedAgain() {
        QFETCH(bool, chosenAtTheRoot);
        const QString atRoot = m_drives->writeFile("X:\\site.ico", "the user's own icon");
        selectPage("index.htm");
        chooseIcon(chosenAtTheRoot ? atRoot : suiteHost("ico/site.ico"));
        save();
        QCOMPARE(boxTexts(), (QStringList{AskText, Saved}));
        QCOMPARE(rootFile("site.ico"), QByteArray("the user's own icon"));
        QCOMPARE(rootFile("Autorun.inf"), autorun("site.ico", "index.htm"));
        QCOMPARE(rootFile("zolvex.exe"), ProgramBytes);
        QCOMPARE(m_form->Pl()->text(), QString());
    }

    void rootThatCannotBeWrittenLosesNothing_data() {
        QTest::addColumn<bool>("rootIsAFile");
        QTest::newRow("drive link points nowhere") << false;
        QTest::newRow("root path is a regular file") << true;
    }
    void rootThatCannotBeWrittenLosesNothing() {
        QFETCH(bool, rootIsAFile);
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        const QStringList before = rootNames(m_root);
        // The disk goes away between the choice and the save.
        if (rootIsAFile)
            m_drives->addDrive(u'X', suiteHost(SuiteHelp));
        else
            m_drives->addDrive(u'X', m_drives->hostRoot() + "/nowhere");
        save();
        QCOMPARE(boxTexts(),
                 (QStringList{AskText, failedAt("écriture refusée sur X:\\Autorun.inf")}));
        QCOMPARE(rootNames(m_root), before);
        QCOMPARE(m_drives->readFile(QStringLiteral("C:\\Pelmora\\") + SuiteHelp),
                 QByteArray("MIME-Version: 1.0"));
        QVERIFY(!QFileInfo::exists(m_drives->hostRoot() + "/nowhere"));
    }

    void namesNoDiscReaderCouldFindStopBeforeAnyWrite_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("step");
        QTest::newRow("start page with a character Windows refuses")
            << "a?b.htm"
            << "site.ico"
            << QStringLiteral("« a?b.htm » : Windows n'accepte pas le caractère « ? » dans un nom "
                              "de fichier.");
        QTest::newRow("start page named as a device")
            << "Con.htm"
            << "site.ico"
            << QStringLiteral(
                   "« Con.htm » : CON est un nom que Windows réserve à un périphérique.");
        QTest::newRow("start page ending in a dot")
            << "index.htm."
            << "site.ico"
            << QStringLiteral("« index.htm. » : Windows n'accepte pas un nom de fichier qui se "
                              "termine par un point.");
        QTest::newRow("start page with a line break")
            << "a\nb.htm"
            << "site.ico"
            << QStringLiteral("« a\u240Ab.htm » : Windows n'accepte pas de caractère de contrôle "
                              "(code 10) dans un nom de fichier.");
        QTest::newRow("icon with a leading blank")
            << "index.htm"
            << " site.ico"
            << QStringLiteral("«  site.ico » : Le disque lirait ce nom sans l'espace qui le "
                              "commence.");
        QTest::newRow("start page in quotes")
            << "'accueil.htm'"
            << "site.ico"
            << QStringLiteral("« 'accueil.htm' » : Le disque lirait ce nom sans les guillemets qui "
                              "l'entourent.");
    }
    // Choosing in the list says at once why a page cannot be the start page.
    void choosingAStartPageWindowsCannotStoreSaysWhy() {
        m_drives->writeFile("X:\\a|b.htm", "<html>");
        m_form->FLB()->refresh();
        m_boxes.clear();
        selectPage("a|b.htm");
        QCOMPARE(boxTexts(),
                 QStringList{QStringLiteral(
                     "« a|b.htm » ne peut pas être la page de démarrage du disque :\r"
                     "Windows n'accepte pas le caractère « | » dans un nom de fichier.")});
        m_boxes.clear();
        selectPage("index.htm");
        QCOMPARE(boxTexts(), QStringList());
    }
    void namesNoDiscReaderCouldFindStopBeforeAnyWrite() {
        QFETCH(QString, page);
        QFETCH(QString, icon);
        QFETCH(QString, step);
        m_drives->writeFile("X:\\" + page, "<html>");
        m_drives->writeFile("C:\\Pelmora\\ico\\" + icon, SiteIcon);
        m_form->FLB()->refresh();
        selectPage(page);
        chooseIcon(suiteHost("ico/" + icon));
        const QStringList before = rootNames(m_root);
        save();
        QCOMPARE(boxTexts(), QStringList{failedAt(step)});
        QCOMPARE(rootNames(m_root), before);
        QVERIFY(m_form->Memo1()->toPlainText().contains("HTM=" + page));
    }

    void hidingKeepsEverythingForTheNextShowing_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Quitter") << false;
        QTest::newRow("close box") << true;
    }
    void hidingKeepsEverythingForTheNextShowing() {
        QFETCH(bool, closeBox);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->move(137, 61);
        const QPoint where = m_form->pos();
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/autre.ico"));
        m_answer = toolkit::Answer::No;
        save();
        const QString memo = m_form->Memo1()->toPlainText();
        QVERIFY(!memo.isEmpty());
        QPointer<TForm3> form(m_form.get());

        if (closeBox)
            QVERIFY(!m_form->close()); // refused: the window is only hidden
        else
            button("BtQuitter")->click();
        QVERIFY(form);
        QVERIFY(!m_form->isVisible());

        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCOMPARE(m_form->pos(), where);
        QCOMPARE(m_form->DLB()->directory(), QStringLiteral("X:\\"));
        QCOMPARE(m_form->FLB()->fileName(), QStringLiteral("index.htm"));
        QCOMPARE(m_form->Memo1()->toPlainText(), memo);
        QCOMPARE(m_form->iconPath(), QStringLiteral("C:\\Pelmora\\ico\\autre.ico"));
    }

    void browseTakesTheChosenPathOrKeepsTheOldOne_data() {
        QTest::addColumn<QString>("answer"); // host path below the suite, empty: cancel
        QTest::addColumn<QString>("expected");
        QTest::newRow("existing icon") << "ico/autre.ico"
                                       << "C:\\Pelmora\\ico\\autre.ico";
        QTest::newRow("typed name of a new file") << "ico/nouveau.ico"
                                                  << "C:\\Pelmora\\ico\\nouveau.ico";
        QTest::newRow("cancel") << ""
                                << "C:\\Pelmora\\ico\\site.ico";
    }
    void browseTakesTheChosenPathOrKeepsTheOldOne() {
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        chooseIcon(suiteHost("ico/site.ico"));
        QString startedIn;
        setIconDialog([&](QWidget*, const QString& hostFolder) {
            startedIn = hostFolder;
            return answer.isEmpty() ? QString() : suiteHost(answer);
        });
        button("BtParcourir")->click();
        QCOMPARE(QDir(startedIn).canonicalPath(), QDir(suiteHost("ico")).canonicalPath());
        QCOMPARE(m_form->iconPath(), expected);
    }

    void realBrowseDialogStartsInTheIconsAndAcceptsNewNames_data() {
        QTest::addColumn<QString>("typed"); // empty: cancelled
        QTest::addColumn<QString>("expected");
        QTest::newRow("icon of the list") << "autre.ico"
                                          << "C:\\Pelmora\\ico\\autre.ico";
        QTest::newRow("new name typed") << "nouveau.ico"
                                        << "C:\\Pelmora\\ico\\nouveau.ico";
        QTest::newRow("full path typed") << "X:\\index.htm"
                                         << "X:\\index.htm";
        QTest::newRow("rooted without a drive") << "\\Pelmora\\ico\\site.ico"
                                                << "C:\\Pelmora\\ico\\site.ico";
        QTest::newRow("rooted, forward slashes") << "/Pelmora/ico/autre.ico"
                                                 << "C:\\Pelmora\\ico\\autre.ico";
        QTest::newRow("beside the icons folder") << "..\\ico\\site.ico"
                                                 << "C:\\Pelmora\\ico\\site.ico";
        QTest::newRow("cancelled") << ""
                                   << "";
    }
    void realBrowseDialogStartsInTheIconsAndAcceptsNewNames() {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        m_drives->writeFile("C:\\Pelmora\\ico\\lisezmoi.txt", "texte");
        const auto remove = qScopeGuard([&] { QFile::remove(suiteHost("ico/lisezmoi.txt")); });
        const QString working = platform::currentFolder();
        QString startedIn, title;
        QStringList listed, buttons;
        bool found = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog =
                qobject_cast<toolkit::OpenFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            found = true;
            title = dialog->windowTitle();
            startedIn = dialog->directory();
            for (int i = 0; i < dialog->files()->count(); ++i)
                listed << dialog->files()->item(i)->text();
            for (const QPushButton* b : dialog->findChildren<QPushButton*>())
                buttons << b->text();
            if (typed.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->nameEdit()->setText(typed);
            QTest::keyClick(dialog->nameEdit(), Qt::Key_Return);
        });
        button("BtParcourir")->click();
        QVERIFY(found);
        QCOMPARE(title, QStringLiteral("Ouvrir"));
        QCOMPARE(startedIn, QStringLiteral("C:\\Pelmora\\ico"));
        // Icons only (other tests leave more of them there).
        QVERIFY(listed.contains("autre.ico") && listed.contains("site.ico"));
        QCOMPARE(listed.filter(QRegularExpression("\\.ico$")), listed);
        QCOMPARE(buttons, (QStringList{"Ouvrir", "Annuler"}));
        QCOMPARE(m_form->iconPath(), expected);
        QCOMPARE(platform::currentFolder(), working);
    }

    void showingPreselectsTheVirtualDrive_data() {
        QTest::addColumn<QByteArray>("settings"); // SUBST.INI; null: no file
        QTest::addColumn<QString>("folder");      // the folder list's, once shown
        QTest::addColumn<int>("boxes");
        QTest::newRow("X: named") << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n") << "X:\\" << 0;
        QTest::newRow("lower case names none")
            << QByteArray("[DISQUES]\r\nVirtuel=x:\r\n") << "C:\\Pelmora" << 0;
        QTest::newRow("no key") << QByteArray("[DISQUES]\r\n") << "C:\\Pelmora" << 0;
        QTest::newRow("no file") << QByteArray() << "C:\\Pelmora" << 0;
        QTest::newRow("drive not listed")
            << QByteArray("[DISQUES]\r\nVirtuel=Q:\r\n") << "C:\\Pelmora" << 0;
        QTest::newRow("drive without medium")
            << QByteArray("[DISQUES]\r\nVirtuel=Y:\r\n") << "C:\\Pelmora" << 1;
    }
    void showingPreselectsTheVirtualDrive() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, folder);
        QFETCH(int, boxes);
        m_drives->addBrokenDrive(u'Y');
        const auto removeY = qScopeGuard([&] { QFile::remove(m_drives->hostRoot() + "/y:"); });
        const QString ini = suiteHost("SUBST.INI");
        if (!settings.isNull())
            m_drives->writeFile("C:\\Pelmora\\SUBST.INI", settings);
        const auto removeIni = qScopeGuard([&] { QFile::remove(ini); });
        m_form = std::make_unique<TForm3>(SuiteFolder);
        m_form->DCB()->readDrives();
        m_form->DLB()->setDirectory("C:\\Pelmora");
        m_form->show();
        QCOMPARE(m_form->DLB()->directory(), folder);
        QCOMPARE(m_boxes.size(), boxes);
        // Once preselected, a later showing keeps the user's own choice;
        // after a drive that was not ready, the next showing tries again.
        m_form->DLB()->setDirectory("C:\\Pelmora");
        m_form->hide();
        m_form->show();
        QCOMPARE(m_form->DLB()->directory(), QStringLiteral("C:\\Pelmora"));
        QCOMPARE(m_boxes.size(), boxes * 2);
    }

    // Installed, the suite folder lies on none of the user's drives: the
    // window opens on the virtual disk the user's own settings name, else
    // on the home folder, never in the suite's folder.
    void installedOpensOnTheVirtualDisk_data() {
        QTest::addColumn<QByteArray>("own"); // the user's settings; null: none
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("the user's virtual disk")
            << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n") << "X:\\" << QStringList{"index.htm"};
        QTest::newRow("none named") << QByteArray() << "C:\\" << QStringList{};
    }
    void installedOpensOnTheVirtualDisk() {
        QFETCH(QByteArray, own);
        QFETCH(QString, folder);
        QFETCH(QStringList, pages);
        const QString installed = m_drives->hostRoot() + QStringLiteral("/usr/lib/pelmora");
        QVERIFY(QDir().mkpath(installed));
        QFile page(installed + QStringLiteral("/Tavrin.htm"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        const QString own_ini = m_drives->hostRoot() + QStringLiteral("/SUBST.INI");
        if (!own.isNull()) {
            QFile file(own_ini);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(own);
        }
        const auto removeIni = qScopeGuard([&] { QFile::remove(own_ini); });
        const QString suite = platform::toWindowsPath(installed);
        QVERIFY(suite.startsWith(QStringLiteral("Z:")));
        platform::resetWorkingFolders(); // every drive's current folder at its root
        platform::setCurrentFolder(suite);
        m_form = std::make_unique<TForm3>(suite);
        m_form->show();
        QCOMPARE(m_form->DLB()->directory(), folder);
        QStringList listed;
        for (int i = 0; i < m_form->FLB()->count(); ++i)
            listed << m_form->FLB()->item(i)->text();
        QCOMPARE(listed, pages);
        // A page saved at the root while the window is hidden is offered at
        // its next showing.
        m_form->hide();
        m_drives->writeFile(folder + QStringLiteral("nouvelle.htm"), "<html></html>");
        m_form->show();
        QVERIFY(!m_form->FLB()->findItems(QStringLiteral("nouvelle.htm"), Qt::MatchExactly).isEmpty());
        m_form->hide();
        platform::setCurrentFolder(QStringLiteral("C:\\Pelmora"));
    }

    void tabFollowsTheSteps() {
        // Reading order: steps 1 to 4 down the left column, the preview and the
        // buttons on the right, then round to the instructions at the top.
        const QStringList expected{"DCB",     "DLB",    "FLB",       "BtParcourir", "Memo1",
                                   "BtEnreg", "BtAide", "BtQuitter", "Memo2"};
        QCOMPARE(m_form->focusWidget(), m_form->DCB()); // where the focus starts
        QStringList reached{"DCB"};
        QWidget* w = m_form->DCB();
        for (int guard = 0; guard < 200; ++guard) {
            w = w->nextInFocusChain();
            if (w == m_form->DCB())
                break;
            if (w->focusPolicy() & Qt::TabFocus)
                reached << w->objectName();
        }
        QCOMPARE(reached, expected);
    }

    void accessibleNames_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name"); // empty: the entry shown names it
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("instructions")
            << "Memo2" << int(QAccessible::EditableText) << "Mode d'emploi à cette étape" << true;
        QTest::newRow("step 2") << "DLB" << int(QAccessible::List)
                                << "2.Sélection de la racine virtuellel" << false;
        QTest::newRow("step 3") << "FLB" << int(QAccessible::List)
                                << "3. Sélection du fichier index.htm" << false;
        QTest::newRow("preview") << "Memo1" << int(QAccessible::EditableText)
                                 << "Autorun.inf  (Vérifiez l'exactitude, ne rien écrire)" << true;
        QTest::newRow("Quitter") << "BtQuitter" << int(QAccessible::Button) << "Quitter" << false;
    }
    void accessibleNames() {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(bool, readOnly);
        QWidget* w = m_form->findChild<QWidget*>(control);
        QVERIFY(w);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        QVERIFY(face);
        QCOMPARE(int(face->role()), role);
        QCOMPARE(face->text(QAccessible::Name), name);
        QCOMPARE(bool(face->state().readOnly), readOnly);
    }

    void readableUnderAnyTheme_data() { testsupport::addThemeRows(); }
    void readableUnderAnyTheme() {
        QFETCH(QPalette, theme);
        const testsupport::ThemePalette applied(theme);
        const TForm3 form(SuiteFolder);
        QCOMPARE(testsupport::unreadableControls(&form), QStringList());
    }

    void firstShownCentredOnTheScreen() {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        const QRect available = m_form->screen()->availableGeometry();
        QVERIFY(available.contains(m_form->frameGeometry()));
        const QRect frame = m_form->frameGeometry();
        QVERIFY2((frame.center() - available.center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(frame.x())
                                .arg(frame.y())
                                .arg(frame.width())
                                .arg(frame.height())));
    }

    void theChosenIconIsShownBesideStep4_data() {
        QTest::addColumn<QString>("icon"); // below the suite; empty: none chosen
        QTest::newRow("none") << "";
        QTest::newRow("an icon") << "ico/vraie.ico";
        QTest::newRow("no readable picture") << "ico/site.ico";
    }
    void theChosenIconIsShownBesideStep4() {
        QFETCH(QString, icon);
        QPixmap picture(16, 16);
        picture.fill(Qt::red);
        QVERIFY(picture.save(suiteHost("ico/vraie.ico"), "ICO"));
        if (!icon.isEmpty())
            chooseIcon(suiteHost(icon));
        QCOMPARE(button("BtParcourir")->icon().isNull(), icon.isEmpty());
        QCOMPARE(button("BtParcourir")->toolTip(), m_form->iconPath());
        QCOMPARE(button("BtParcourir")->text(), QStringLiteral("Parcourir"));
    }

    void theQuestionLeavesThePreviewReadable() {
        toolkit::setMessageHook({});
        const auto restore = qScopeGuard([this] { answerBoxes(); });
        selectPage("index.htm");
        chooseIcon(suiteHost("ico/site.ico"));
        m_form->move(20, 20);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QRect box, preview;
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            box = modal->frameGeometry();
            preview = QRect(m_form->Memo1()->mapToGlobal(QPoint(0, 0)), m_form->Memo1()->size());
            for (auto* b : modal->findChildren<QPushButton*>())
                if (b->text() == u"&Non")
                    b->click();
        });
        button("BtEnreg")->click();
        QVERIFY(box.isValid());
        QVERIFY(!box.intersects(preview));
        QVERIFY(rootFile("zolvex.exe").isNull());
    }

    void helpOpensTheSuiteDocument_data() {
        QTest::addColumn<bool>("present");
        QTest::newRow("document present") << true;
        QTest::newRow("document missing") << false;
    }
    void helpOpensTheSuiteDocument() {
        QFETCH(bool, present);
        const QString document = suiteHost(SuiteHelp);
        if (!present)
            QVERIFY(QFile::rename(document, document + ".away"));
        const auto restore = qScopeGuard([&] {
            if (!present)
                QFile::rename(document + ".away", document);
        });
        QStringList opened;
        platform::setOpenHook([&](const QString& target) {
            opened << target;
            return true;
        });
        button("BtAide")->click();
        if (present) {
            QTRY_COMPARE(opened.size(), 1);
            QCOMPARE(QFileInfo(opened.first()).canonicalFilePath(),
                     QFileInfo(document).canonicalFilePath());
            QVERIFY(m_boxes.isEmpty());
        } else {
            QVERIFY(opened.isEmpty());
            QCOMPARE(boxTexts(),
                     QStringList{"Le document C:\\Pelmora\\CD_Site.mht est introuvable."});
        }
    }
};

QTEST_MAIN(TstCdSite)
#include "tst_cdsite.moc"
