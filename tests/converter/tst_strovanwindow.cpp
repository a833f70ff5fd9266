#include "Readable.h"
#include "TempDrives.h"

#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "converter/Conversion.h"
#include "converter/Unit1.h"
#include "converter/uRetour.h"
#include "platform/Drives.h"
#include "platform/Process.h"
#include "platform/Volumes.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <QStringDecoder>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using strovan::TForm1;

namespace {

const QString ToolFolder =
    QStringLiteral("C:\\Suite") + suite::below(suite::Tools[suite::ConverterTool].folder);
const QString SettingsFile = QStringLiteral("C:\\Suite") + suite::below(suite::SettingsFile);
const QString HelpDocument = suite::below(suite::ConverterHelpDocument);
// The menu program as the host holds it: without its extension.
const QString MenuHost =
    QStringLiteral("C:\\Suite\\") + QFileInfo(suite::name(suite::MenuProgram)).completeBaseName();

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

int shapeOf(const QCursor* cursor) {
    return cursor ? int(cursor->shape()) : -1;
}

// Boxes answered instead of shown; the cursor each was shown under is kept.
struct BoxRecorder {
    QList<toolkit::MessageRequest> boxes;
    QList<int> cursors;                             // shapes; -1 for none
    QList<int> beneath;                             // the cursor under it on the stack
    toolkit::Answer question = toolkit::Answer::No; // given to yes/no boxes
    BoxRecorder() {
        toolkit::setMessageHook([this](const toolkit::MessageRequest& request) {
            boxes << request;
            cursors << shapeOf(QApplication::overrideCursor());
            // One look below the top of the cursor stack, then put it back.
            if (const QCursor* top = QApplication::overrideCursor()) {
                const QCursor kept = *top;
                QApplication::restoreOverrideCursor();
                beneath << shapeOf(QApplication::overrideCursor());
                QApplication::setOverrideCursor(kept);
            } else {
                beneath << -1;
            }
            return request.buttons == toolkit::Buttons::Ok ? toolkit::Answer::Ok : question;
        });
    }
    ~BoxRecorder() { toolkit::setMessageHook({}); }
    QStringList texts() const {
        QStringList result;
        for (const auto& box : boxes)
            result << box.text;
        return result;
    }
};

struct Recorder {
    QList<platform::StartRequest> starts;
    QStringList opened;
    Recorder() {
        platform::setStartHook([this](const platform::StartRequest& request) {
            starts << request;
            return true;
        });
        platform::setOpenHook([this](const QString& target) {
            opened << target;
            return true;
        });
    }
    ~Recorder() {
        platform::setStartHook({});
        platform::setOpenHook({});
    }
};

} // namespace

class TestStrovanWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void looks_data();
    void looks();
    void windowPlacement();
    void tabOrder();
    void accessibleNames_data();
    void accessibleNames();
    void readableUnderAnyTheme_data();
    void readableUnderAnyTheme();
    void addressWithoutBrowserIsSaid();
    void startsOnTheStartFolder();
    void installedOpensOnTheUserFiles_data();
    void installedOpensOnTheUserFiles();
    void selectorsAreLinked();
    void preselection_data();
    void preselection();
    void preselectionIsNotRepeated();
    void unreachableDriveThenRetry();
    void startedBelowADriveRoot();
    void firstShowingPreselects();
    void specialSettingsFileLetsTheWindowOpen_data();
    void specialSettingsFileLetsTheWindowOpen();
    void errorBoxDoesNotComeBackByItself();
    void conversionRefreshesTheLists();
    void conversionOfTheSelectedRecordingFolder();
    void nestedFolderNoticeUnderTheArrow();
    void controlsOffDuringARun();
    void closingTheWindowStopsTheRun();
    void runWhileTheWindowChangesFolders();
    void conversionOfAVanishedFolder();
    void asksBeforeRenamingForeignFolders_data();
    void asksBeforeRenamingForeignFolders();
    void endReport_data();
    void endReport();
    void importFromACard_data();
    void importFromACard();
    void helpOpensTheDocument_data();
    void helpOpensTheDocument();
    void missingHelpIsSaid();
    void linkLabelsOpenTheOtherAddress();
    void menuButton();
    void menuButtonBelowADriveRoot();
    void closeButtonClosesTheWindow();

private:
    std::unique_ptr<TForm1> makeWindow(const QString& start = ToolFolder);
    std::unique_ptr<TempDrives> m_drives;
};

void TestStrovanWindow::initTestCase() {
    QApplication::setStyle(QStringLiteral("Windows"));
    toolkit::setProgramTitle(QStringLiteral("Strovan"));
}

void TestStrovanWindow::init() {
    m_drives = std::make_unique<TempDrives>();
    QVERIFY(m_drives->isValid());
    m_drives->addDrive(u'C');
    m_drives->addDrive(u'X');
    m_drives->makeFolder(ToolFolder);
    m_drives->makeFolder(QStringLiteral("X:\\Site\\Videos"));
}

void TestStrovanWindow::cleanup() {
    m_drives.reset();
}

std::unique_ptr<TForm1> TestStrovanWindow::makeWindow(const QString& start) {
    platform::setCurrentFolder(start);
    return std::make_unique<TForm1>(start);
}

void TestStrovanWindow::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("mayGrow"); // labels widen rather than cut their text
    QTest::newRow("Image1") << "Image1" << QRect(8, 8, 777, 41) << false;
    QTest::newRow("DCB") << "DCB" << QRect(8, 56, 233, 19) << false;
    QTest::newRow("DLB") << "DLB" << QRect(8, 80, 233, 273) << false;
    QTest::newRow("FLB") << "FLB" << QRect(248, 56, 233, 297) << false;
    QTest::newRow("BtAction") << "BtAction" << QRect(488, 56, 297, 65) << false;
    QTest::newRow("BtAide") << "BtAide" << QRect(488, 128, 81, 33) << false;
    QTest::newRow("BtMenu") << "BtMenu" << QRect(576, 128, 97, 33) << false;
    QTest::newRow("BitBtn1") << "BitBtn1" << QRect(680, 128, 105, 33) << false;
    QTest::newRow("Label2") << "Label2" << QRect(488, 200, 64, 16) << true;
    QTest::newRow("Label1") << "Label1" << QRect(560, 200, 0, 16) << true; // sizes itself
    QTest::newRow("Label3") << "Label3" << QRect(488, 224, 38, 16) << true;
    QTest::newRow("Edit1") << "Edit1" << QRect(536, 220, 241, 21) << false;
    QTest::newRow("Label4") << "Label4" << QRect(488, 264, 200, 23) << true;
    QTest::newRow("Label5") << "Label5" << QRect(488, 296, 179, 23) << true;
    QTest::newRow("Label6") << "Label6" << QRect(488, 328, 230, 23) << true;
    QTest::newRow("BtLecteurs") << "BtLecteurs" << QRect(488, 167, 81, 27) << false;
}

void TestStrovanWindow::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(bool, mayGrow);
    const auto form = makeWindow();
    const QWidget* control = form->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->pos(), rect.topLeft());
    QCOMPARE(control->height(), rect.height());
    if (mayGrow)
        QVERIFY(control->width() >= rect.width());
    else
        QCOMPARE(control->width(), rect.width());
    QVERIFY(control->geometry().right() < 813);
}

void TestStrovanWindow::looks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");
    const QColor yellow(255, 255, 0), navy(0, 0, 128), black(0, 0, 0);
    QTest::newRow("BtAction") << "BtAction"
                              << "Transformer les MOD et supprimer le reste" << 11 << true << navy;
    QTest::newRow("BtAide") << "BtAide"
                            << "&Aide" << 21 << true << navy;
    QTest::newRow("BtMenu") << "BtMenu"
                            << "Menu" << 21 << true << navy;
    QTest::newRow("BitBtn1") << "BitBtn1"
                             << "&Fermer" << 21 << true << navy;
    QTest::newRow("Label2") << "Label2"
                            << "Répertoire " << 13 << false << black;
    QTest::newRow("Label1") << "Label1" << ToolFolder << 13 << false << yellow;
    QTest::newRow("Label3") << "Label3"
                            << "Fichier" << 13 << false << black;
    QTest::newRow("Label4") << "Label4" << suite::versionText() << 19 << true << yellow;
    QTest::newRow("Label5") << "Label5" << suite::addressB() << 19 << true << yellow;
    QTest::newRow("Label6") << "Label6" << suite::addressA() << 19 << true << yellow;
}

void TestStrovanWindow::looks() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    const auto form = makeWindow();
    const QWidget* control = form->findChild<QWidget*>(name);
    QVERIFY(control);
    QString shown;
    if (const auto* label = qobject_cast<const QLabel*>(control))
        shown = label->text();
    else if (const auto* button = qobject_cast<const QPushButton*>(control))
        shown = button->text();
    QCOMPARE(shown, caption);
    QCOMPARE(control->font().pixelSize(), pixels);
    QCOMPARE(control->font().bold(), bold);
    const QPalette::ColorRole role =
        qobject_cast<const QPushButton*>(control) ? QPalette::ButtonText : QPalette::WindowText;
    QCOMPARE(control->palette().color(role), colour);
}

void TestStrovanWindow::windowPlacement() {
    const auto form = makeWindow();
    QCOMPARE(form->windowTitle(), QStringLiteral("MOD vers MPG"));
    QCOMPARE(form->palette().color(QPalette::Window), QColor(128, 128, 255));
    QCOMPARE(form->font().pixelSize(), 11);
    for (const char* selector : {"DCB", "DLB", "FLB"})
        QCOMPARE(
            form->findChild<QWidget*>(QLatin1String(selector))->palette().color(QPalette::Base),
            QColor(255, 255, 0));
    QVERIFY(!form->Image1->pixmap().isNull()); // the banner decodes
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->frameGeometry().size(), QSize(813, 405));
    // Centred on the screen, its title bar on it even when the screen is narrower.
    const QRect available = form->screen()->availableGeometry();
    const QRect frame = form->frameGeometry();
    QVERIFY(frame.left() >= available.left() && frame.top() >= available.top());
    QVERIFY(qAbs(frame.center().y() - available.center().y()) <= 1);
    if (frame.width() <= available.width())
        QVERIFY(qAbs(frame.center().x() - available.center().x()) <= 1);
}

void TestStrovanWindow::tabOrder() {
    const auto form = makeWindow();
    QList<QWidget*> order;
    QWidget* w = form->DCB;
    do {
        if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == form.get())
            order << w;
        w = w->nextInFocusChain();
    } while (w != form->DCB);
    // Reading order: the selectors column by column, the buttons left to
    // right and the one below them, the file name, the two addresses.
    const QList<QWidget*> expected{form->DCB,     form->DLB,        form->FLB,
                                   form->BtAction, form->BtAide,     form->BtMenu,
                                   form->BitBtn1,  form->BtLecteurs, form->Edit1,
                                   form->Label5,   form->Label6};
    QCOMPARE(order, expected);
}

void TestStrovanWindow::accessibleNames_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    // The fields take their names from the labels beside them.
    QTest::newRow("folders") << "DLB" << int(QAccessible::List) << "Répertoire";
    QTest::newRow("files") << "FLB" << int(QAccessible::List) << "Fichiers";
    QTest::newRow("file name") << "Edit1" << int(QAccessible::EditableText) << "Fichier";
    QTest::newRow("address B") << "Label5" << int(QAccessible::Link) << suite::addressB();
}

void TestStrovanWindow::accessibleNames() {
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    const auto form = makeWindow();
    QWidget* w = form->findChild<QWidget*>(control);
    QVERIFY(w);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    QVERIFY(face);
    QCOMPARE(int(face->role()), role);
    QCOMPARE(face->text(QAccessible::Name), name);
    QCOMPARE(form->Label3->buddy(), form->Edit1);
}

void TestStrovanWindow::readableUnderAnyTheme_data() {
    testsupport::addThemeRows();
}

void TestStrovanWindow::readableUnderAnyTheme() {
    QFETCH(QPalette, theme);
    const testsupport::ThemePalette applied(theme);
    const auto form = makeWindow();
    QCOMPARE(testsupport::unreadableControls(form.get()), QStringList());
}

void TestStrovanWindow::addressWithoutBrowserIsSaid() {
    BoxRecorder boxes;
    platform::setOpenHook([](const QString&) { return false; });
    const auto restore = qScopeGuard([] { platform::setOpenHook({}); });
    const auto form = makeWindow();
    QTest::keyClick(form->Label6, Qt::Key_Space); // the keyboard follows a link too
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(boxes.boxes[0].text.contains(QStringLiteral("navigateur Web")));
    QVERIFY(boxes.boxes[0].text.contains(suite::addressB()));
}

void TestStrovanWindow::startsOnTheStartFolder() {
    m_drives->writeFile(ToolFolder + HelpDocument, "MIME-Version: 1.0\r\n");
    const auto form = makeWindow();
    QCOMPARE(form->startFolder(), ToolFolder);
    QCOMPARE(form->DCB->drive(), QChar(u'C'));
    QCOMPARE(form->DLB->directory(), ToolFolder);
    QCOMPARE(texts(form->FLB), QStringList{QStringLiteral("Strovan.mht")});
    QCOMPARE(form->Edit1->text(), QStringLiteral("*.*"));
    QCOMPARE(form->Label1->text(), ToolFolder);
    QVERIFY(!form->activatedOnce());
}

void TestStrovanWindow::installedOpensOnTheUserFiles_data() {
    QTest::addColumn<QStringList>("card");   // files on a mounted card; empty: no card
    QTest::addColumn<QStringList>("videos"); // folders of the home
    QTest::addColumn<QString>("userDirs");   // the desktop's videos folder, if it names one
    QTest::addColumn<QString>("expected");
    const QStringList both{"Vidéos", "Videos"};
    QTest::newRow("card in the camcorder's layout")
        << QStringList{"SD_VIDEO/PRG001/MOV001.MOD"} << both << "" << "D:\\SD_VIDEO";
    QTest::newRow("card of recording folders") << QStringList{"PRG00A/MOV001.MOI"} << both << ""
                                               << "D:\\";
    QTest::newRow("card of clips") << QStringList{"mov001.mod"} << both << "" << "D:\\";
    QTest::newRow("a key of photos is no card")
        << QStringList{"Photos/img.jpg"} << both << "" << "C:\\Vidéos";
    QTest::newRow("the desktop's videos folder")
        << QStringList{} << QStringList{"Films", "Vidéos"} << "Films" << "C:\\Films";
    QTest::newRow("desktop's folder missing") << QStringList{} << QStringList{"Vidéos"} << "Films"
                                              << "C:\\Vidéos";
    QTest::newRow("English name") << QStringList{} << QStringList{"Videos"} << "" << "C:\\Videos";
    QTest::newRow("no videos folder") << QStringList{} << QStringList{} << "" << "C:\\";
}

void TestStrovanWindow::installedOpensOnTheUserFiles() {
    QFETCH(QStringList, card);
    QFETCH(QStringList, videos);
    QFETCH(QString, userDirs);
    QFETCH(QString, expected);
    const QString root = m_drives->hostRoot();
    const QString home = root + QStringLiteral("/home");
    for (const QString& folder : std::as_const(videos))
        QVERIFY(QDir().mkpath(home + u'/' + folder));
    QVERIFY(QDir().mkpath(home));
    m_drives->addDrive(u'C', home);
    m_drives->makeFolder(ToolFolder);
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
    if (!userDirs.isEmpty()) {
        QVERIFY(QDir().mkpath(root + QStringLiteral("/config")));
        QFile dirs(root + QStringLiteral("/config/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_VIDEOS_DIR=\"$HOME/" + userDirs.toUtf8() + "\"\n");
    }
    const QString media = root + QStringLiteral("/media/CARTE");
    for (const QString& file : std::as_const(card)) {
        QVERIFY(QDir().mkpath(QFileInfo(media + u'/' + file).path()));
        QFile(media + u'/' + file).open(QIODevice::WriteOnly);
    }
    platform::setMountLister([media, present = !card.isEmpty()] {
        platform::MountPoint mount;
        mount.rootPath = media;
        mount.fileSystemType = "vfat";
        mount.removableDevice = true;
        return present ? QList<platform::MountPoint>{mount} : QList<platform::MountPoint>{};
    });
    // An installed suite lies on no drive of the user's: only z: reaches it.
    const QString suite = root + QStringLiteral("/usr/lib/pelmora");
    QVERIFY(QDir().mkpath(suite + QStringLiteral("/Strovan.2005")));
    m_drives->writeFile(SettingsFile, "[DISQUES]\r\nVirtuel=X:\r\n");
    {
        QFile settings(suite + QStringLiteral("/SUBST.INI"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[DISQUES]\r\nVirtuel=X:\r\n");
    }
    const QString start = platform::toWindowsPath(suite + QStringLiteral("/Strovan.2005"));
    QVERIFY(start.startsWith(QStringLiteral("Z:\\")));

    const auto installed = makeWindow(start);
    QVERIFY(installed->openedOnUserFiles());
    QCOMPARE(installed->DLB->directory(), expected);
    // The virtual disk is not chosen over what the user is to convert.
    installed->FormActivate();
    QCOMPARE(installed->DLB->directory(), expected);
    QCOMPARE(installed->startFolder(), start);

    // A suite laid out on the user's drives keeps its start folder.
    const auto laidOut = makeWindow(ToolFolder);
    QVERIFY(!laidOut->openedOnUserFiles());
    QCOMPARE(laidOut->DLB->directory(), ToolFolder);

    platform::setMountLister({});
    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
}

void TestStrovanWindow::selectorsAreLinked() {
    m_drives->writeFile(QStringLiteral("X:\\Site\\Videos\\MOV001.MOD"), "clip");
    const auto form = makeWindow();
    form->DCB->setDrive(u'X');
    QCOMPARE(form->DLB->directory(), QStringLiteral("X:\\"));
    form->DLB->setDirectory(QStringLiteral("X:\\Site\\Videos"));
    QCOMPARE(form->Label1->text(), QStringLiteral("X:\\Site\\Videos"));
    QCOMPARE(form->Label1->width(), form->Label1->sizeHint().width()); // sized to its text
    form->FLB->setCurrentRow(0);
    QCOMPARE(form->Edit1->text(), QStringLiteral("MOV001.MOD"));
    form->DLB->setDirectory(QStringLiteral("C:\\Suite"));
    QCOMPARE(form->DCB->drive(), QChar(u'C'));
    QCOMPARE(form->Edit1->text(), QStringLiteral("*.*"));
}

void TestStrovanWindow::preselection_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QChar>("drive");
    const QChar x(u'X'), c(u'C');
    QTest::newRow("found") << true << QByteArray("[DISQUES]\r\nVirtuel=X:\r\n") << x;
    // The entries begin "x:": only "X:" itself finds its drive.
    QTest::newRow("lower-case value") << true << QByteArray("[DISQUES]\nVirtuel=x:\n") << c;
    QTest::newRow("value with a folder") << true << QByteArray("[DISQUES]\nVirtuel=X:\\\n") << c;
    // Otherwise the window stays where it started.
    QTest::newRow("no such drive") << true << QByteArray("[DISQUES]\nVirtuel=Q:\n") << c;
    QTest::newRow("missing file") << false << QByteArray() << c;
}

void TestStrovanWindow::preselection() {
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(QChar, drive);
    if (present)
        m_drives->writeFile(SettingsFile, content);
    BoxRecorder boxes;
    const auto form = makeWindow();
    form->FormActivate();
    QCOMPARE(boxes.texts(), QStringList()); // nothing to say, whatever the file holds
    QVERIFY(form->activatedOnce());
    QCOMPARE(form->DCB->drive(), drive);
    QCOMPARE(form->DLB->directory(), drive == u'X' ? QStringLiteral("X:\\") : ToolFolder);
    QCOMPARE(form->FLB->directory(), form->DLB->directory());
    QCOMPARE(platform::currentFolder(), form->DLB->directory());
}

void TestStrovanWindow::preselectionIsNotRepeated() {
    m_drives->writeFile(SettingsFile, "[DISQUES]\nVirtuel=X:\n");
    platform::setCurrentFolder(QStringLiteral("X:\\Site\\Videos")); // X's own current folder
    const auto form = makeWindow();
    form->FormActivate();
    QCOMPARE(form->DLB->directory(), QStringLiteral("X:\\Site\\Videos"));
    form->DLB->setDirectory(QStringLiteral("C:\\Suite"));
    form->FormActivate();
    QCOMPARE(form->DLB->directory(), QStringLiteral("C:\\Suite"));
    QCOMPARE(form->DCB->drive(), QChar(u'C'));
}

void TestStrovanWindow::unreachableDriveThenRetry() {
    m_drives->addBrokenDrive(u'V');
    m_drives->writeFile(SettingsFile, "[DISQUES]\nVirtuel=V:\n");
    BoxRecorder boxes;
    const auto form = makeWindow();
    form->FormActivate();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Erreur E/S 21.")});
    QCOMPARE(boxes.boxes.first().caption, QStringLiteral("Strovan"));
    QVERIFY(!form->activatedOnce());
    QCOMPARE(form->DLB->directory(), ToolFolder);
    QCOMPARE(form->DCB->drive(), QChar(u'C'));

    // The medium is in now: the next activation gets there.
    const QString medium = m_drives->hostRoot() + QStringLiteral("/nowhere_v");
    QVERIFY(QDir().mkpath(medium));
    form->FormActivate();
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(form->activatedOnce());
    QCOMPARE(form->DLB->directory(), QStringLiteral("V:\\"));
    QCOMPARE(form->DCB->drive(), QChar(u'V'));
}

void TestStrovanWindow::startedBelowADriveRoot() {
    // The settings file is then looked up at the root of the current drive.
    m_drives->makeFolder(QStringLiteral("C:\\Strovan.2005"));
    m_drives->writeFile(QStringLiteral("C:\\SUBST.INI"), "[DISQUES]\nVirtuel=X:\n");
    const auto form = makeWindow(QStringLiteral("C:\\Strovan.2005"));
    form->FormActivate();
    QCOMPARE(form->DCB->drive(), QChar(u'X'));
}

void TestStrovanWindow::firstShowingPreselects() {
    m_drives->writeFile(SettingsFile, "[DISQUES]\nVirtuel=X:\n");
    const auto form = makeWindow();
    form->show();
    QTRY_VERIFY(form->activatedOnce());
    QCOMPARE(form->DCB->drive(), QChar(u'X'));
}

void TestStrovanWindow::specialSettingsFileLetsTheWindowOpen_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("link to an endless device") << "/dev/zero";
}

void TestStrovanWindow::specialSettingsFileLetsTheWindowOpen() {
    QFETCH(QString, kind);
    const QByteArray host = QFile::encodeName(platform::toHostPath(QStringLiteral("C:\\Suite")) +
                                              QStringLiteral("/SUBST.INI"));
    QCOMPARE(kind == u"fifo" ? ::mkfifo(host.constData(), 0644)
                             : ::symlink(QFile::encodeName(kind).constData(), host.constData()),
             0);
    BoxRecorder boxes;
    const auto form = makeWindow();
    form->show();
    QTRY_VERIFY(form->activatedOnce());
    QCOMPARE(boxes.texts(), QStringList());
    QCOMPARE(form->DCB->drive(), QChar(u'C'));
}

void TestStrovanWindow::errorBoxDoesNotComeBackByItself() {
    // Real boxes this time. Closing one gives the window its activation back,
    // which must not read as a new activation and bring the box back; coming
    // back from another program does try again.
    m_drives->addBrokenDrive(u'V');
    m_drives->writeFile(SettingsFile, "[DISQUES]\nVirtuel=V:\n");
    const auto form = makeWindow();
    int boxes = 0;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&boxes, &form] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boxes;
            box->buttons().first()->click();
            // What the window manager does once the box is gone.
            QTimer::singleShot(0, form.get(), [&form] { form->activateWindow(); });
        }
    });
    closer.start(20);
    form->show();
    QTRY_COMPARE(boxes, 1);
    QTRY_VERIFY(form->isActiveWindow());
    QTest::qWait(300);
    QCOMPARE(boxes, 1);
    QVERIFY(!form->activatedOnce());
    QCOMPARE(form->DLB->directory(), ToolFolder);

    QApplication::setActiveWindow(nullptr); // another program comes to the front
    QTRY_VERIFY(!form->isActiveWindow());
    QApplication::setActiveWindow(form.get()); // and the user comes back
    QTRY_COMPARE(boxes, 2);
    QTest::qWait(300);
    QCOMPARE(boxes, 2);
}

void TestStrovanWindow::conversionRefreshesTheLists() {
    const QString cam = QStringLiteral("C:\\Camescope");
    for (const char* name :
         {"PRG001\\MOV001.MOD", "PRG001\\MOV001.MOI", "PRG001\\MOV00A.MOD", "PRG001\\PRG001.PGI",
          "MGR_INFO\\INFO.MOI", "MOV002.MOD", "MOV002.MOI"})
        m_drives->writeFile(cam + u'\\' + QLatin1String(name), "data");
    const auto form = makeWindow();
    form->DLB->setDirectory(cam);
    QCOMPARE(texts(form->FLB), (QStringList{"MOV002.MOD", "MOV002.MOI"}));
    form->FLB->setCurrentRow(0);
    BoxRecorder boxes;
    QTest::mouseClick(form->BtAction, Qt::LeftButton);
    QCOMPARE(boxes.boxes.size(), 1); // the end report
    QCOMPARE(texts(form->DLB), (QStringList{"C:\\", "Camescope", "MGR_INFO", "PRG0001"}));
    QCOMPARE(texts(form->FLB), QStringList{QStringLiteral("MOV0002.MPG")});
    QCOMPARE(form->Edit1->text(), QStringLiteral("*.*"));
    QCOMPARE(form->DLB->directory(), cam);
    QVERIFY(!QApplication::overrideCursor());
    form->DLB->setDirectory(cam + QStringLiteral("\\PRG0001"));
    QCOMPARE(texts(form->FLB), (QStringList{"MOV0001.MPG", "MOV0010.MPG"}));
}

void TestStrovanWindow::conversionOfTheSelectedRecordingFolder() {
    const QString prg = QStringLiteral("C:\\Camescope\\PRG001");
    m_drives->writeFile(prg + QStringLiteral("\\MOV001.MOD"), "clip");
    m_drives->writeFile(prg + QStringLiteral("\\MOV001.MOI"), "index");
    const auto form = makeWindow();
    form->DLB->setDirectory(prg);
    BoxRecorder boxes;
    form->BtActionClick();
    QCOMPARE(form->DLB->directory(), prg);
    QCOMPARE(texts(form->FLB), QStringList{QStringLiteral("MOV0001.MPG")});
}

void TestStrovanWindow::nestedFolderNoticeUnderTheArrow() {
    const QString cam = QStringLiteral("C:\\Camescope");
    m_drives->writeFile(cam + QStringLiteral("\\PRG001\\MOV001.MOD"), "clip");
    m_drives->makeFolder(cam + QStringLiteral("\\PRG001\\Dedans"));
    m_drives->writeFile(cam + QStringLiteral("\\PRG002\\MOV002.MOD"), "clip");
    const auto form = makeWindow();
    form->DLB->setDirectory(cam);
    BoxRecorder boxes;
    form->BtActionClick();
    QVERIFY(!boxes.boxes.isEmpty());
    QCOMPARE(boxes.boxes.first().text, strovan::NestedFolderMessage());
    QCOMPARE(boxes.boxes.first().caption, QStringLiteral("Strovan"));
    QCOMPARE(boxes.cursors.first(), int(Qt::ArrowCursor));
    QCOMPARE(boxes.beneath.first(), int(Qt::WaitCursor)); // the walk's own
    QVERIFY(!QApplication::overrideCursor());
    // The walk went on after the box, and the lists show its result.
    QVERIFY(texts(form->DLB).contains(QStringLiteral("PRG0002")));
}

void TestStrovanWindow::controlsOffDuringARun() {
    const QString cam = QStringLiteral("C:\\Camescope");
    m_drives->writeFile(cam + QStringLiteral("\\PRG001\\MOV001.MOD"), "clip");
    m_drives->makeFolder(cam + QStringLiteral("\\PRG001\\Dedans"));
    const auto form = makeWindow();
    form->show();
    form->DLB->setDirectory(cam);
    const QList<QWidget*> controls{form->DCB,    form->DLB,    form->FLB,    form->Edit1,
                                   form->BtAction, form->BtAide, form->BtMenu, form->BitBtn1};
    QList<bool> enabledAtTheNotice;
    toolkit::setMessageHook([&](const toolkit::MessageRequest& request) {
        if (request.text == strovan::NestedFolderMessage())
            for (QWidget* control : controls)
                enabledAtTheNotice << control->isEnabled();
        return toolkit::Answer::Ok;
    });
    form->BtActionClick();
    toolkit::setMessageHook({});
    QCOMPARE(enabledAtTheNotice, QList<bool>(controls.size(), false));
    for (QWidget* control : controls)
        QVERIFY(control->isEnabled());
}

void TestStrovanWindow::closingTheWindowStopsTheRun() {
    const QString cam = QStringLiteral("C:\\Camescope");
    m_drives->writeFile(cam + QStringLiteral("\\PRG001\\MOV001.MOD"), "clip");
    m_drives->makeFolder(cam + QStringLiteral("\\PRG001\\Dedans"));
    m_drives->writeFile(cam + QStringLiteral("\\PRG002\\MOV002.MOD"), "clip");
    const auto form = makeWindow();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->DLB->setDirectory(cam);
    QStringList texts;
    toolkit::setMessageHook([&](const toolkit::MessageRequest& request) {
        texts << request.text;
        // The user closes the window while the walk waits on its notice.
        if (request.text == strovan::NestedFolderMessage())
            form->close();
        return toolkit::Answer::Ok;
    });
    form->BtActionClick();
    toolkit::setMessageHook({});
    QCOMPARE(texts.size(), 2);
    QVERIFY(texts.last().startsWith(QStringLiteral("Transformation arrêtée dans C:\\Camescope")));
    QVERIFY(!form->isVisible());
    // Stopped at once: the next recording folder was left as it was.
    QCOMPARE(m_drives->readFile(cam + QStringLiteral("\\PRG002\\MOV002.MOD")), QByteArray("clip"));
}

void TestStrovanWindow::runWhileTheWindowChangesFolders() {
    // The window's thread keeps changing the working folder (as its lists and
    // the drive selector's poll do) while the walk runs: the walk reads none
    // of it (which ThreadSanitizer checks, where the tests are built with it).
    const QString cam = QStringLiteral("X:\\Camescope");
    const QString other = QStringLiteral("C:\\Autre");
    for (int folder = 1; folder <= 3; ++folder)
        for (int clip = 1; clip <= 40; ++clip) {
            const QString name = QStringLiteral("\\PRG00%1\\MOV%2").arg(folder).arg(clip, 3, 10,
                                                                                   QChar(u'0'));
            m_drives->writeFile(cam + name + QStringLiteral(".MOD"), "clip");
            m_drives->writeFile(cam + name + QStringLiteral(".MOI"), "index");
            m_drives->writeFile(other + name + QStringLiteral(".MOD"), "clip");
        }
    const auto form = makeWindow();
    form->DLB->setDirectory(cam);
    int changes = 0;
    QTimer changer;
    connect(&changer, &QTimer::timeout, [&] {
        // Afresh each time, as after a new drive table: the state itself is
        // rewritten, not only the strings it holds.
        platform::resetWorkingFolders();
        platform::setCurrentFolder(changes++ % 2 ? other : other + QStringLiteral("\\PRG001"));
    });
    changer.start(0);
    BoxRecorder boxes;
    form->BtActionClick();
    changer.stop();
    QVERIFY(changes > 0);
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(boxes.texts().first().contains(QStringLiteral("Clips renommés : 120")));
    QVERIFY(boxes.texts().first().contains(QStringLiteral("Fichiers d'index supprimés : 120")));
    QCOMPARE(m_drives->readFile(other + QStringLiteral("\\PRG001\\MOV001.MOD")),
             QByteArray("clip"));
}

void TestStrovanWindow::conversionOfAVanishedFolder() {
    const QString host = m_drives->makeFolder(QStringLiteral("C:\\Camescope\\Parti"));
    const auto form = makeWindow();
    form->DLB->setDirectory(QStringLiteral("C:\\Camescope\\Parti"));
    QVERIFY(QDir(host).removeRecursively());
    BoxRecorder boxes;
    form->BtActionClick();
    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("Rien à transformer dans C:\\Camescope\\Parti")});
    QCOMPARE(form->DLB->directory(), QStringLiteral("C:\\Camescope"));
    QCOMPARE(form->FLB->directory(), QStringLiteral("C:\\Camescope"));
}

void TestStrovanWindow::helpOpensTheDocument_data() {
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << ToolFolder;
    QTest::newRow("blank") << "C:\\My Suite\\Strovan.2005";
}

void TestStrovanWindow::helpOpensTheDocument() {
    QFETCH(QString, folder);
    const QString host = m_drives->writeFile(folder + HelpDocument, "MIME-Version: 1.0\r\n");
    const auto form = makeWindow(folder);
    form->DLB->setDirectory(QStringLiteral("X:\\Site")); // the window folder stays
    Recorder recorder;
    QTest::mouseClick(form->BtAide, Qt::LeftButton);
    QTRY_COMPARE(recorder.opened, QStringList{host});
    QVERIFY(recorder.starts.isEmpty());
}

void TestStrovanWindow::missingHelpIsSaid() {
    const auto form = makeWindow();
    Recorder recorder;
    BoxRecorder boxes;
    QTest::mouseClick(form->BtAide, Qt::LeftButton);
    QVERIFY(recorder.opened.isEmpty());
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(boxes.boxes[0].text.contains(ToolFolder + HelpDocument));
}

void TestStrovanWindow::linkLabelsOpenTheOtherAddress() {
    const auto form = makeWindow();
    Recorder recorder;
    QCOMPARE(form->Label5->text(), suite::addressB());
    QTest::mouseClick(form->Label5, Qt::LeftButton);
    QCOMPARE(recorder.opened, QStringList{suite::webUrl(suite::addressA())});
    QCOMPARE(form->Label6->text(), suite::addressA());
    QTest::mouseClick(form->Label6, Qt::LeftButton);
    QCOMPARE(recorder.opened.value(1), suite::webUrl(suite::addressB()));
    QCOMPARE(form->Label5->cursor().shape(), Qt::PointingHandCursor);
}

void TestStrovanWindow::menuButton() {
    const QString vask = m_drives->writeFile(MenuHost, "#!/bin/sh\n");
    QVERIFY(QFile::setPermissions(vask, QFile::permissions(vask) | QFile::ExeOwner));
    const auto form = makeWindow();
    Recorder recorder;
    QTest::mouseClick(form->BtMenu, Qt::LeftButton);
    QTest::mouseClick(form->BtMenu, Qt::LeftButton);
    QCOMPARE(recorder.starts.size(), 2);
    QCOMPARE(recorder.starts.first().program, MenuHost);
    QVERIFY(form->isEnabled());
}

void TestStrovanWindow::menuButtonBelowADriveRoot() {
    m_drives->makeFolder(QStringLiteral("C:\\Strovan.2005"));
    const auto form = makeWindow(QStringLiteral("C:\\Strovan.2005"));
    Recorder recorder;
    BoxRecorder boxes;
    form->BtMenuClick();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Nom de fichier incorrect.")});
    QCOMPARE(boxes.boxes.first().icon, toolkit::BoxIcon::Error);
    QVERIFY(recorder.starts.isEmpty());
    // Still usable: the conversion button works afterwards.
    m_drives->writeFile(QStringLiteral("C:\\Strovan.2005\\MOV00F.MOD"), "clip");
    form->BtActionClick();
    QCOMPARE(texts(form->FLB), QStringList{QStringLiteral("MOV0015.MPG")});
}

void TestStrovanWindow::closeButtonClosesTheWindow() {
    const auto form = makeWindow();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    QVERIFY(!form->isVisible());
}

void TestStrovanWindow::asksBeforeRenamingForeignFolders_data() {
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("asked"); // the folders the question names
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("said"); // a line of the box that ends the action
    const QStringList ours{"Photos", "Videos"};
    QTest::newRow("Non, nothing else")
        << ours << ours << int(toolkit::Answer::No) << ours
        << "Rien d'autre à transformer dans C:\\Mes films : les dossiers « Photos », « Videos » "
           "restent tels quels.";
    QTest::newRow("Non, one folder beside a card")
        << QStringList{"Photos", "PRG001"} << QStringList{"Photos"} << int(toolkit::Answer::No)
        << QStringList{"Photos", "PRG0001"} << "Dossiers laissés tels quels : « Photos »";
    QTest::newRow("Oui") << ours << ours << int(toolkit::Answer::Yes)
                         << QStringList{"Pho0000", "Vid0000"} << "Dossiers d'enregistrement renommés : 2";
    QTest::newRow("a real card") << QStringList{"PRG001", "PRG00A"} << QStringList()
                                 << int(toolkit::Answer::No) << QStringList{"PRG0001", "PRG0010"}
                                 << "Clips renommés : 2";
    QTest::newRow("more than five")
        << QStringList{"AAAAAA", "BBBBBB", "CCCCCC", "DDDDDD", "EEEEEE", "FFFFFF", "PRG001"}
        << QStringList{"AAAAAA", "BBBBBB", "CCCCCC", "DDDDDD", "EEEEEE", "… et 1 autres"}
        << int(toolkit::Answer::No)
        << QStringList{"AAAAAA", "BBBBBB", "CCCCCC", "DDDDDD", "EEEEEE", "FFFFFF", "PRG0001"}
        << "Dossiers laissés tels quels : « AAAAAA », « BBBBBB », « CCCCCC », « DDDDDD », "
           "« EEEEEE », … et 1 autres";
}

void TestStrovanWindow::asksBeforeRenamingForeignFolders() {
    QFETCH(QStringList, folders);
    QFETCH(QStringList, asked);
    QFETCH(int, answer);
    QFETCH(QStringList, after);
    QFETCH(QString, said);
    const QString cam = QStringLiteral("C:\\Mes films");
    for (const QString& folder : folders)
        m_drives->writeFile(cam + u'\\' + folder + QStringLiteral("\\MOV001.MOD"), "clip");
    const auto form = makeWindow();
    form->DLB->setDirectory(cam);
    BoxRecorder boxes;
    boxes.question = toolkit::Answer(answer);
    form->BtActionClick();
    QList<toolkit::MessageRequest> questions;
    for (const toolkit::MessageRequest& box : boxes.boxes)
        if (box.buttons == toolkit::Buttons::YesNo)
            questions << box;
    QCOMPARE(questions.size(), asked.isEmpty() ? 0 : 1);
    if (!asked.isEmpty()) {
        const QStringList lines = questions.first().text.split(QChar(13));
        QVERIFY(lines.first().contains(cam)); // the selected folder in full
        QCOMPARE(lines.mid(1, asked.size()).replaceInStrings(QStringLiteral("    "), QString()),
                 asked);
        QCOMPARE(questions.first().defaultAnswer, toolkit::Answer::No);
        // Written for one folder or several.
        QCOMPARE(lines.first().contains(QStringLiteral("ce dossier ne vient")), asked.size() == 1);
        QCOMPARE(lines.last().startsWith(QStringLiteral("Il serait")), asked.size() == 1);
    }
    QVERIFY(!boxes.boxes.isEmpty());
    QVERIFY2(boxes.boxes.last().text.split(QChar(13)).contains(said),
             qPrintable(boxes.boxes.last().text));
    QStringList names = texts(form->DLB).mid(2); // after the root and the folder itself
    QCOMPARE(names, after);
    // On "Non" the folders it names did not change at all, clips included.
    if (answer == int(toolkit::Answer::No) && !asked.isEmpty())
        QCOMPARE(m_drives->readFile(cam + u'\\' + folders.first() + QStringLiteral("\\MOV001.MOD")),
                 QByteArray("clip"));
}

void TestStrovanWindow::endReport_data() {
    QTest::addColumn<int>("collisions");
    QTest::addColumn<QStringList>("failureLines"); // the last lines of the box
    QTest::addColumn<bool>("wide");                // MOVFFF.MOI says 16:9, and its clip is no video
    QTest::newRow("no failure") << 0 << QStringList{"Dates d'enregistrement rétablies : 0"}
                                << false;
    QTest::newRow("one failure") << 1
                                 << QStringList{"Échecs :",
                                                "PRG0001\\MOV000.MOD : ce nom existe déjà"}
                                 << false;
    QTest::newRow("22 failures") << 22
                                 << QStringList{"PRG0001\\MOV013.MOD : ce nom existe déjà",
                                                "… et 2 autres"}
                                 << false;
    QTest::newRow("no program stream")
        << 0
        << QStringList{"Échecs :", "PRG0001\\MOV4095.MPG : 16:9 non appliqué : pas une vidéo "
                                   "MPEG-2 en flux de programme, fichier d'index MOVFFF.MOI "
                                   "conservé"}
        << true;
}

void TestStrovanWindow::endReport() {
    QFETCH(int, collisions);
    QFETCH(QStringList, failureLines);
    QFETCH(bool, wide);
    const QString prg = QStringLiteral("C:\\Camescope\\PRG001\\");
    for (int i = 0; i < collisions; ++i) {
        const QString counter = QString::number(i, 16).toUpper().rightJustified(3, u'0');
        m_drives->writeFile(prg + QStringLiteral("MOV") + counter + QStringLiteral(".MOD"), "clip");
        m_drives->writeFile(prg + QStringLiteral("MOV0") +
                                QString::number(i).rightJustified(3, u'0') + QStringLiteral(".MPG"),
                            "taken");
    }
    m_drives->writeFile(prg + QStringLiteral("MOVFFF.MOD"), "clip");
    m_drives->writeFile(prg + QStringLiteral("MOVFFF.MOI"),
                        wide ? QByteArray("V6") + QByteArray(0x7E, '\0') + "\x54" : "index");
    const auto form = makeWindow();
    form->DLB->setDirectory(QStringLiteral("C:\\Camescope"));
    BoxRecorder boxes;
    form->BtActionClick();
    QCOMPARE(boxes.boxes.size(), 1);
    const QStringList lines = boxes.boxes.first().text.split(QChar(13));
    QCOMPARE(lines.mid(0, 4),
             (QStringList{"Transformation terminée dans C:\\Camescope :",
                          "Dossiers d'enregistrement renommés : 1", "Clips renommés : 1",
                          QStringLiteral("Fichiers d'index supprimés : %1").arg(wide ? 0 : 1)}));
    QCOMPARE(lines.mid(lines.size() - failureLines.size()), failureLines);
    QCOMPARE(boxes.boxes.first().icon,
             collisions || wide ? toolkit::BoxIcon::Warning : toolkit::BoxIcon::Information);
}

void TestStrovanWindow::importFromACard_data() {
    QTest::addColumn<bool>("removable"); // the camcorder's folder is a card in a reader
    QTest::addColumn<int>("answer");     // to the offer to copy it first
    QTest::addColumn<bool>("cardConverted");
    QTest::addColumn<bool>("copyConverted");
    QTest::newRow("card, Oui") << true << int(toolkit::Answer::Yes) << false << true;
    QTest::newRow("card, Non") << true << int(toolkit::Answer::No) << true << false;
    QTest::newRow("card, Annuler") << true << int(toolkit::Answer::Cancel) << false << false;
    QTest::newRow("the user's disk") << false << int(toolkit::Answer::Yes) << true << false;
}

void TestStrovanWindow::importFromACard() {
    QFETCH(bool, removable);
    QFETCH(int, answer);
    QFETCH(bool, cardConverted);
    QFETCH(bool, copyConverted);
    // A home of the test's own on c:, its videos folder, and the card.
    const QString home = m_drives->hostRoot() + QStringLiteral("/home");
    QDir().mkpath(home + QStringLiteral("/Vidéos"));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    m_drives->addDrive(u'C', home);
    m_drives->makeFolder(ToolFolder);
    const QString card = removable ? m_drives->hostRoot() + QStringLiteral("/media/CARTE")
                                   : home + QStringLiteral("/Camescope");
    QList<platform::MountPoint> mounts;
    if (removable)
        mounts << platform::MountPoint{card, "/dev/sdb1", "vfat", QStringLiteral("CARTE"), true};
    platform::setMountLister([&mounts] { return mounts; });
    const auto restore = qScopeGuard([&] {
        mounts.clear();
        platform::removableDrives();
        platform::setMountLister({});
        qputenv("HOME", oldHome);
        qunsetenv("XDG_CONFIG_HOME");
    });
    for (const char* name : {"PRG001/MOV001.MOD", "PRG001/MOV001.MOI", "PRG001/PRG001.PGI"}) {
        const QString path = card + u'/' + QLatin1String(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name);
        file.flush();
        file.setFileTime(QDateTime(QDate(2009, 7, 14), QTime(10, 0)),
                         QFileDevice::FileModificationTime);
    }
    const QString folder = removable ? QStringLiteral("D:\\") : QStringLiteral("C:\\Camescope");
    const QString copy = QStringLiteral("C:\\Vidéos\\Camescope 2009-07-14");
    const auto form = makeWindow();
    form->DLB->setDirectory(folder);
    BoxRecorder boxes;
    boxes.question = toolkit::Answer(answer);
    form->BtActionClick();

    QList<toolkit::MessageRequest> offers;
    for (const toolkit::MessageRequest& box : boxes.boxes)
        if (box.buttons == toolkit::Buttons::YesNoCancel)
            offers << box;
    QCOMPARE(offers.size(), removable ? 1 : 0);
    if (removable) {
        QVERIFY(offers[0].text.contains(copy)); // where the copy will go, in full
        QCOMPARE(offers[0].defaultAnswer, toolkit::Answer::Yes);
    }
    QCOMPARE(QFileInfo::exists(card + QStringLiteral("/PRG0001/MOV0001.MPG")), cardConverted);
    QCOMPARE(QFileInfo::exists(card + QStringLiteral("/PRG001/MOV001.MOI")), !cardConverted);
    const QString copied = home + QStringLiteral("/Vidéos/Camescope 2009-07-14");
    QCOMPARE(QFileInfo::exists(copied + QStringLiteral("/PRG0001/MOV0001.MPG")), copyConverted);
    if (answer == int(toolkit::Answer::Cancel))
        QCOMPARE(boxes.boxes.size(), 1);
    if (!copyConverted)
        return;
    // The selectors show the copy, and the end report tells both steps.
    QCOMPARE(form->DLB->directory(), copy);
    const QStringList lines = boxes.boxes.last().text.split(QChar(13));
    QCOMPARE(lines.first(), QStringLiteral("Enregistrements copiés de la carte dans ") + copy +
                                QStringLiteral(" :"));
    QVERIFY(lines.contains(QStringLiteral("Fichiers copiés et vérifiés : 3")));
    QVERIFY(lines.contains(QStringLiteral("Transformation terminée dans ") + copy +
                           QStringLiteral(" :")));
}

QTEST_MAIN(TestStrovanWindow)
#include "tst_strovanwindow.moc"
