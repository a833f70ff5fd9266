#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "launcher/SupportsVideo.h"
#include "launcher/u_CdSite.h"
#include "launcher/UniteP.h"
#include "platform/Drives.h"
#include "platform/Process.h"
#include "platform/WorkingFolder.h"
#include "Readable.h"
#include "TempDrives.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

#include <tuple>

using namespace pelmora;

namespace {

// A suite folder on drive C: holding the five tools as host programs.
struct Suite {
    TempDrives drives;
    QList<platform::StartRequest> started;
    QStringList opened;
    QList<toolkit::MessageRequest> boxes;
    toolkit::Answer answer = toolkit::Answer::Yes;

    explicit Suite(const QString& folder = QStringLiteral("C:\\Suite")) {
        drives.addDrive(u'C');
        drives.addDrive(u'D');
        drives.makeFolder(folder);
        platform::setCurrentFolder(folder);
        platform::setStartHook([this](const platform::StartRequest& r) {
            started << r;
            return true;
        });
        platform::setOpenHook([this](const QString& target) {
            opened << target;
            return true;
        });
        toolkit::setMessageHook([this](const toolkit::MessageRequest& r) {
            boxes << r;
            return answer;
        });
    }
    ~Suite() {
        platform::setStartHook({});
        platform::setOpenHook({});
        toolkit::setMessageHook({});
    }
    void addProgram(const QString& winPath) {
        const QString host = drives.writeFile(winPath, "#!/bin/sh\n");
        QFile::setPermissions(host, QFile::permissions(host) | QFile::ExeOwner);
    }
};

} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private slots:
    void toolTable_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("program");
        // The first button as the user reads it; then every tool of the suite's table.
        QTest::newRow("as shown") << 0 << "Transformation fichiers JVC MOD en MPG"
                                  << "\\Strovan.2005"
                                  << "Strovan.EXE";
        for (std::size_t i = 0; i < suite::ToolCount; ++i) {
            const suite::Tool& tool = suite::Tools[i];
            QTest::newRow(qPrintable(suite::name(tool.folder)))
                << int(i) << suite::name(tool.caption) << suite::below(tool.folder)
                << suite::name(tool.program);
        }
    }
    void toolTable() {
        QFETCH(int, row);
        QFETCH(QString, caption);
        QFETCH(QString, folder);
        QFETCH(QString, program);
        Suite suite;
        const QString bare = program.left(program.lastIndexOf(u'.'));
        suite.addProgram(QStringLiteral("C:\\Suite") + folder + u'\\' + bare);
        TForm1 menu;
        QCOMPARE(std::size_t(menu.tools().size()), suite::ToolCount);
        const ToolEntry& tool = menu.tools().at(row);
        QCOMPARE(tool.button->text(), caption);
        QCOMPARE(tool.folder, folder);
        QCOMPARE(tool.program, program);

        QSignalSpy ending(&menu, &TForm1::terminating);
        QTest::mouseClick(tool.button, Qt::LeftButton);
        QCOMPARE(suite.started.size(), 1);
        QCOMPARE(suite.started[0].program, QStringLiteral("C:\\Suite") + folder + u'\\' + bare);
        QCOMPARE(suite.started[0].arguments, QStringList{QStringLiteral("MENU")});
        QCOMPARE(suite.started[0].workingFolder, QStringLiteral("C:\\Suite") + folder);
        QCOMPARE(ending.count(), 1);
        QVERIFY(suite.boxes.isEmpty());
    }

    void startFoldersWithBlanksAccentsOrAtARoot_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("workingFolder");
        QTest::addColumn<QString>("hostBelowDrive");
        QTest::newRow("blanks and accents") << "C:\\Mes outils été\\Suite"
                                            << "C:\\Mes outils été\\Suite\\Strovan.2005"
                                            << "Mes outils été/Suite/Strovan.2005";
        QTest::newRow("drive root") << "D:\\"
                                    << "D:\\\\Strovan.2005"
                                    << "Strovan.2005";
        const QString wide = QStringLiteral("日本Ψ\\") + QString(50, u'日') + u'\\' +
                             QString(50, u'本'); // over 300 bytes
        QTest::newRow("outside the code page, long")
            << QStringLiteral("C:\\") + wide
            << QStringLiteral("C:\\") + wide + QStringLiteral("\\Strovan.2005")
            << QString(wide).replace(u'\\', u'/') + QStringLiteral("/Strovan.2005");
        QTest::newRow("deep") << QStringLiteral("C:\\") + QString(40, u'p') + u'\\' +
                                     QString(40, u'q') + QStringLiteral("\\Suite")
                              << QStringLiteral("C:\\") + QString(40, u'p') + u'\\' +
                                     QString(40, u'q') + QStringLiteral("\\Suite\\Strovan.2005")
                              << QString(40, u'p') + u'/' + QString(40, u'q') +
                                     QStringLiteral("/Suite/Strovan.2005");
    }
    void startFoldersWithBlanksAccentsOrAtARoot() {
        QFETCH(QString, start);
        QFETCH(QString, workingFolder);
        QFETCH(QString, hostBelowDrive);
        Suite suite(start);
        const QString root = start.left(3);
        suite.addProgram(root + hostBelowDrive.section(u'/', 0, -1).replace(u'/', u'\\') +
                         QStringLiteral("\\Strovan"));
        TForm1 menu;
        QCOMPARE(menu.startFolder(), start);
        menu.ToolButtonClick(0);
        QCOMPARE(suite.started.size(), 1);
        // The folder is passed as the string was built, and still reaches the host folder.
        QCOMPARE(suite.started[0].workingFolder, workingFolder);
        const QString driveHost = QFileInfo(platform::driveHostRoot(start[0])).canonicalFilePath();
        QCOMPARE(QFileInfo(suite.started[0].hostWorkingFolder).canonicalFilePath(),
                 driveHost + u'/' + hostBelowDrive);
    }

    void aToolThatCannotStartIsSaidAndTheMenuStays() {
        Suite suite;
        TForm1 menu;
        QSignalSpy ending(&menu, &TForm1::terminating);
        menu.ToolButtonClick(0); // no Strovan in C:\Suite\Strovan.2005
        QCOMPARE(ending.count(), 0);
        QCOMPARE(suite.boxes.size(), 1);
        QVERIFY(suite.boxes[0].text.contains(suite::name(suite::Tools[0].program)));
        QVERIFY(suite.boxes[0].text.contains(QStringLiteral("C:\\Suite") +
                                             suite::below(suite::Tools[0].folder)));

        // A start the system refuses is said the same way.
        suite.addProgram(QStringLiteral("C:\\Suite\\Quorel\\Quorel"));
        platform::setStartHook([](const platform::StartRequest&) { return false; });
        menu.ToolButtonClick(1);
        QCOMPARE(ending.count(), 0);
        QCOMPARE(suite.boxes.size(), 2);
        QVERIFY(suite.boxes[1].text.contains(QStringLiteral("Quorel.EXE")));
    }

    void confirmationAnswers_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("shown");
        QTest::newRow("yes") << int(toolkit::Answer::Yes) << true;
        QTest::newRow("no") << int(toolkit::Answer::No) << false;
        QTest::newRow("cancel") << int(toolkit::Answer::Cancel) << false;
    }
    void confirmationAnswers() {
        QFETCH(int, answer);
        QFETCH(bool, shown);
        Suite suite;
        suite.answer = toolkit::Answer(answer);
        TForm1 menu;
        TFormVideo video;
        TForm3 site(menu.startFolder());
        menu.setCompanions(&video, &site);
        QTest::mouseClick(menu.button(QStringLiteral("BtSiteHtm")), Qt::LeftButton);
        QCOMPARE(suite.boxes.size(), 1);
        QCOMPARE(suite.boxes[0].caption, QStringLiteral("ATTENTION"));
        QCOMPARE(suite.boxes[0].buttons, toolkit::Buttons::YesNoCancel);
        QCOMPARE(suite.boxes[0].text,
                 QStringLiteral("Avez-vous créé la page index.htm dans la racine virtuelle di "
                                "CD/DVD\rDans le cas contraire vous devez la créer avant de "
                                "poursuivre"));
        QCOMPARE(site.isVisible(), shown);
        QVERIFY(!site.isModal());
        // A second yes shows the very same window again.
        if (shown) {
            site.hide();
            menu.BtSiteHtmClick();
            QVERIFY(site.isVisible());
        }
    }

    void videoWindowHidesAndComesBackWithItsText() {
        Suite suite;
        TForm1 menu;
        TFormVideo video;
        TForm3 site(menu.startFolder());
        menu.setCompanions(&video, &site);
        QVERIFY(!video.isVisible());
        const QStringList lines = video.memo()->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 21);
        QCOMPARE(lines.first(),
                 QStringLiteral("Les supports vidéos sont sur le CDROM d'installation"));
        QCOMPARE(lines[15],
                 QStringLiteral("tous les films qui correspondent aux logiciels du même auteur, "));
        QCOMPARE(lines[18], QStringLiteral("Ecran conseillé SVGA 1024*768"));

        QTest::mouseClick(menu.button(QStringLiteral("BtVideo")), Qt::LeftButton);
        QVERIFY(video.isVisible());
        // The window only shows its text: typing changes nothing.
        video.memo()->setFocus();
        QTest::keyClicks(video.memo(), QStringLiteral("mes notes"));
        QCOMPARE(video.memo()->toPlainText(), lines.join(u'\n'));
        QTest::mouseClick(video.quitButton(), Qt::LeftButton);
        QVERIFY(!video.isVisible());
        menu.BtVideoClick();
        QVERIFY(video.isVisible());
        // The close box only hides it too.
        video.close();
        QVERIFY(!video.isVisible());
        menu.BtVideoClick();
        QVERIFY(video.isVisible());
    }

    void videoTextWrapsToItsWidth() {
        Suite suite;
        TFormVideo video;
        video.show();
        QVERIFY(QTest::qWaitForWindowExposed(&video));
        QPlainTextEdit* memo = video.memo();
        QVERIFY(!memo->horizontalScrollBar()->isVisible());
        // Some line of the help is wider than the box: it takes more than one line.
        int longest = 0;
        for (const QString& line : TFormVideo::helpLines())
            longest = std::max(longest, memo->fontMetrics().horizontalAdvance(line));
        QVERIFY(longest > memo->viewport()->width());
    }

    void documentsAndAddress() {
        Suite suite;
        const QString help = suite::name(suite::HelpDocument);
        const QString prerequisites = suite::name(suite::PrerequisitesDocument);
        suite.drives.writeFile(QStringLiteral("C:\\Suite\\") + help, "<html></html>");
        suite.drives.writeFile(QStringLiteral("C:\\Suite\\") + prerequisites, "%PDF-1.4");
        TForm1 menu;
        QTest::mouseClick(menu.button(QStringLiteral("BtAide")), Qt::LeftButton);
        QTest::mouseClick(menu.button(QStringLiteral("PreRequis")), Qt::LeftButton);
        QCOMPARE(suite.opened.size(), 2);
        QVERIFY(suite.opened[0].endsWith(QStringLiteral("/Suite/") + help));
        QVERIFY(suite.opened[1].endsWith(QStringLiteral("/Suite/") + prerequisites));

        // Both link labels open the author's site, whichever address they show.
        auto* label1 = menu.findChild<toolkit::LinkLabel*>(QStringLiteral("Label1"));
        auto* label3 = menu.findChild<toolkit::LinkLabel*>(QStringLiteral("Label3"));
        QVERIFY(label1 && label3);
        QVERIFY(label1->text() != label3->text());
        QTest::mouseClick(label1, Qt::LeftButton);
        QTest::mouseClick(label3, Qt::LeftButton);
        QCOMPARE(suite.opened.size(), 4);
        QCOMPARE(suite.opened[2], suite.opened[3]);
        QVERIFY(suite.opened[2].contains(label1->text()));
        QVERIFY(suite.boxes.isEmpty());
    }

    void missingDocumentsAreSaid() {
        Suite suite;
        TForm1 menu;
        menu.BtAideClick();
        menu.PreRequisClick();
        QVERIFY(suite.opened.isEmpty());
        QCOMPARE(suite.boxes.size(), 2);
        QVERIFY(suite.boxes[0].text.contains(suite::name(suite::HelpDocument)));
        QVERIFY(suite.boxes[1].text.contains(suite::name(suite::PrerequisitesDocument)));
    }

    void theLauncherEndsWhateverWindowsAreShown_data() {
        QTest::addColumn<bool>("videoShown");
        QTest::addColumn<bool>("siteShown");
        QTest::addColumn<bool>("byTool"); // else by closing the menu
        for (const bool byTool : {true, false}) {
            const char* how = byTool ? "tool" : "close";
            QTest::addRow("%s, alone", how) << false << false << byTool;
            QTest::addRow("%s, video shown", how) << true << false << byTool;
            QTest::addRow("%s, site shown", how) << false << true << byTool;
            QTest::addRow("%s, both shown", how) << true << true << byTool;
        }
    }
    void theLauncherEndsWhateverWindowsAreShown() {
        QFETCH(bool, videoShown);
        QFETCH(bool, siteShown);
        QFETCH(bool, byTool);
        Suite suite;
        suite.addProgram(QStringLiteral("C:\\Suite\\Strovan.2005\\Strovan"));
        TForm1 menu;
        TFormVideo video;
        TForm3 site(menu.startFolder());
        menu.setCompanions(&video, &site);
        menu.show();
        if (videoShown)
            menu.BtVideoClick();
        if (siteShown)
            menu.BtSiteHtmClick();
        QCOMPARE(video.isVisible(), videoShown);
        QCOMPARE(site.isVisible(), siteShown);
        QTimer watchdog; // a launcher that stays would hang the loop
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(5000);
        QTimer::singleShot(0, &menu, [&menu, byTool] {
            if (byTool)
                menu.ToolButtonClick(0);
            else
                menu.BtFinClick();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(suite.started.size(), byTool ? 1 : 0);
    }

    void layoutTables_data() {
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        const QList<std::tuple<const char*, QRect>> menu{
            {"Bevel1", {21, 8, 500, 107}},         {"Image2", {31, 16, 482, 89}},
            {"BtAide", {559, 8, 71, 33}},          {"BtFin", {559, 47, 71, 33}},
            {"PreRequis", {18, 121, 617, 41}},     {"SpeedButton2", {21, 170, 305, 33}},
            {"SpeedButton5", {332, 168, 305, 33}}, {"BtSiteHtm", {19, 209, 305, 33}},
            {"SpeedButton6", {330, 209, 305, 33}}, {"SpeedButton3", {19, 248, 305, 33}},
            {"SpeedButton4", {330, 248, 305, 33}}, {"SpeedButton1", {21, 288, 303, 33}},
            {"BtVideo", {330, 287, 305, 33}},      {"Label1", {21, 368, 181, 20}},
            {"Label3", {234, 368, 138, 20}},       {"Label2", {411, 368, 176, 20}},
            {"BtLecteurs", {559, 86, 71, 33}}};
        for (const auto& [name, rect] : menu)
            QTest::newRow(name) << false << QString::fromLatin1(name) << rect;
        const QList<std::tuple<const char*, QRect>> video{{"Panel1", {8, 8, 265, 49}},
                                                          {"BtQuitter", {280, 8, 49, 49}},
                                                          {"GroupBox1", {8, 72, 313, 273}},
                                                          {"Memo1", {8, 16, 297, 249}},
                                                          {"Image1", {232, 352, 89, 89}}};
        for (const auto& [name, rect] : video)
            QTest::newRow(qPrintable(QStringLiteral("video ") + QLatin1String(name)))
                << true << QString::fromLatin1(name) << rect;
    }
    void layoutTables() {
        QFETCH(bool, video);
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        Suite suite;
        TForm1 menu;
        TFormVideo help;
        const QWidget* control =
            video ? help.findChild<QWidget*>(name) : menu.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), rect);
    }

    void videoWindowLooks() {
        Suite suite;
        TFormVideo video;
        video.show();
        QVERIFY(QTest::qWaitForWindowExposed(&video));
        QCOMPARE(video.frameGeometry().size(), QSize(338, 478));
        QCOMPARE(video.windowTitle(), QStringLiteral("Supports"));
        auto* panel = video.findChild<QLabel*>(QStringLiteral("Panel1"));
        QVERIFY(panel);
        QCOMPARE(panel->text(), QStringLiteral("Assistants vidéo"));
        QCOMPARE(panel->font().pixelSize(), 32);
        QVERIFY(panel->font().bold());
        QCOMPARE(panel->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QVERIFY(!video.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        QVERIFY(video.quitButton()->text().isEmpty());
        QVERIFY(!video.quitButton()->icon().isNull());
    }

    void tabOrder_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("order");
        // Reading order, top to bottom and left to right, the links included.
        QTest::newRow("menu") << "menu"
                              << QStringList{"BtAide",       "BtFin",        "BtLecteurs",   "PreRequis",
                                             "SpeedButton2", "SpeedButton5", "BtSiteHtm",
                                             "SpeedButton6", "SpeedButton3", "SpeedButton4",
                                             "SpeedButton1", "BtVideo",      "Label1",
                                             "Label3"};
        QTest::newRow("video") << "video" << QStringList{"BtQuitter", "Memo1"};
    }
    void tabOrder() {
        QFETCH(QString, window);
        QFETCH(QStringList, order);
        Suite suite;
        TForm1 menu;
        TFormVideo video;
        QWidget* form = window == u"menu" ? static_cast<QWidget*>(&menu) : &video;
        QStringList reached;
        QWidget* w = form;
        for (int guard = 0; guard < 200; ++guard) {
            w = w->nextInFocusChain();
            if (w == form)
                break;
            if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled())
                reached << w->objectName();
        }
        QCOMPARE(reached, order);
        // Every push button of the window is in the chain.
        for (const QPushButton* b : form->findChildren<QPushButton*>())
            QVERIFY2(reached.contains(b->objectName()), qPrintable(b->objectName()));
        // The menu's focus starts on the first tool, never on Fermer.
        if (window == u"menu")
            QCOMPARE(menu.focusWidget(), menu.tools().first().button);
    }

    void accessibleNames_data() {
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::newRow("Label1") << false << "Label1" << int(QAccessible::Link) << suite::addressA();
        QTest::newRow("Label3") << false << "Label3" << int(QAccessible::Link) << suite::addressB();
        QTest::newRow("video BtQuitter")
            << true << "BtQuitter" << int(QAccessible::Button) << "Fermer";
        QTest::newRow("video Memo1")
            << true << "Memo1" << int(QAccessible::EditableText) << "Assistants vidéo";
    }
    void accessibleNames() {
        QFETCH(bool, video);
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        Suite suite;
        TForm1 menu;
        TFormVideo help;
        QWidget* w = video ? help.findChild<QWidget*>(control) : menu.findChild<QWidget*>(control);
        QVERIFY(w);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        QVERIFY(face);
        QCOMPARE(int(face->role()), role);
        QCOMPARE(face->text(QAccessible::Name), name);
        if (role == int(QAccessible::EditableText))
            QVERIFY(face->state().readOnly);
    }

    void readableUnderAnyTheme_data() { testsupport::addThemeRows(); }
    void readableUnderAnyTheme() {
        QFETCH(QPalette, theme);
        const testsupport::ThemePalette applied(theme);
        Suite suite;
        TForm1 menu;
        TFormVideo video;
        QCOMPARE(testsupport::unreadableControls(&menu), QStringList());
        QCOMPARE(testsupport::unreadableControls(&video), QStringList());
    }

    void layout() {
        Suite suite;
        TForm1 menu;
        QCOMPARE(menu.windowTitle(), QStringLiteral("Création d'un site Web"));
        QCOMPARE(menu.size(), QSize(647, 402));
        QCOMPARE(menu.palette().color(QPalette::Window), QColor(255, 128, 0));
        QCOMPARE(menu.button(QStringLiteral("BtSiteHtm"))->text(),
                 QStringLiteral("Construire les composantes du  CD/DVD Site"));
        QCOMPARE(menu.button(QStringLiteral("PreRequis"))->geometry(), QRect(18, 121, 617, 41));
        QCOMPARE(menu.button(QStringLiteral("SpeedButton1"))->geometry(), QRect(21, 288, 303, 33));
        auto* banner = menu.findChild<QLabel*>(QStringLiteral("Image2"));
        QVERIFY(banner && !banner->pixmap().isNull());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
