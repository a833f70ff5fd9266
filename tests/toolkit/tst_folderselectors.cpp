#include "TempDrives.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Volumes.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using platform::DriveKind;
using toolkit::DirectoryListBox;
using toolkit::DriveComboBox;
using toolkit::FileListBox;

Q_DECLARE_METATYPE(platform::DriveKind)

namespace {

QStringList texts(const QListWidget& list) {
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << list.item(i)->text();
    return result;
}

// Three selectors wired as a window wires them, on the working folder.
struct Selectors {
    QWidget window;
    DriveComboBox* dcb;
    DirectoryListBox* dlb;
    FileListBox* flb;
    QLabel* label;
    QLineEdit* edit;

    Selectors() {
        dcb = new DriveComboBox(&window);
        dlb = new DirectoryListBox(&window);
        flb = new FileListBox(&window);
        label = new QLabel(&window);
        edit = new QLineEdit(&window);
        dlb->resize(233, 273);
        dlb->setDirLabel(label);
        dlb->setFileList(flb);
        flb->setFileEdit(edit);
        dcb->setDirList(dlb);
    }
};

// Records the boxes instead of showing them.
struct BoxRecorder {
    QStringList texts;
    BoxRecorder() {
        toolkit::setMessageHook([this](const toolkit::MessageRequest& request) {
            texts << request.text;
            return toolkit::Answer::Ok;
        });
    }
    ~BoxRecorder() { toolkit::setMessageHook({}); }
};

} // namespace

class TestFolderSelectors : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startOnTheWorkingFolder();
    void folderEntries_data();
    void folderEntries();
    void openingAnEntry_data();
    void openingAnEntry();
    void vanishedEntryShowsErrorAndIsDropped();
    void refreshGoesUpWhenTheFolderVanished();
    void refreshShowsNewFolders();
    void fileListShowsNormalFilesOnly();
    void fileListMasks_data();
    void fileListMasks();
    void fileListOrder_data();
    void fileListOrder();
    void fileEditFollowsSelection();
    void fileListRefreshMakesFolderCurrent();
    void tenThousandFiles();
    void sameEntriesWhicheverWayTheFolderIsRead_data();
    void sameEntriesWhicheverWayTheFolderIsRead();
    void driveEntries();
    void choosingADrive();
    void sameDriveStaysPut();
    void driveWithoutMediumKeepsTheWindowUsable();
    void selectorFollowsVolumes();
    void userChoiceOfADriveWithoutMedium();
    void rememberedFolderGoneFallsBackToRoot();
    void comboAloneMakesTheDriveCurrent();
    void labelIsShortenedToTheListWidth();
    void labelShowsMarkupAsText();
    void driveEntryTexts_data();
    void driveEntryTexts();
    void shortenFolder_data();
    void shortenFolder();

private:
    std::unique_ptr<TempDrives> m_drives;
};

void TestFolderSelectors::init() {
    m_drives = std::make_unique<TempDrives>();
    QVERIFY(m_drives->isValid());
    m_drives->addDrive(u'C');
    m_drives->addDrive(u'X');
    m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    m_drives->makeFolder(QStringLiteral("X:\\Site\\Images"));
    platform::setCurrentFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
}

void TestFolderSelectors::cleanup() {
    m_drives.reset();
}

void TestFolderSelectors::startOnTheWorkingFolder() {
    m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\Aide.mht"), "x");
    Selectors s;
    QCOMPARE(s.dcb->drive(), QChar(u'C'));
    QVERIFY(s.dcb->currentText().startsWith(QStringLiteral("c:")));
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(s.flb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(texts(*s.flb), QStringList{QStringLiteral("Aide.mht")});
    QCOMPARE(s.edit->text(), QStringLiteral("*.*"));
    QCOMPARE(s.label->text(), QStringLiteral("C:\\Suite\\Strovan.2005"));
}

void TestFolderSelectors::folderEntries_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("currentRow");
    // Subfolders sorted without regard to case; hidden ones and files left out.
    QTest::newRow("deep") << QStringLiteral("C:\\Suite\\Strovan.2005")
                          << QStringList{"C:\\", "Suite", "Strovan.2005", "alpha", "Beta", "gamma"}
                          << 2;
    QTest::newRow("root") << QStringLiteral("C:\\") << QStringList{"C:\\", "Suite"} << 0;
    QTest::newRow("leaf") << QStringLiteral("C:\\Suite\\Strovan.2005\\gamma")
                          << QStringList{"C:\\", "Suite", "Strovan.2005", "gamma"} << 3;
}

void TestFolderSelectors::folderEntries() {
    QFETCH(QString, folder);
    QFETCH(QStringList, entries);
    QFETCH(int, currentRow);
    for (const char* name : {"gamma", "Beta", "alpha", ".cache"})
        m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005\\") + QLatin1String(name));
    m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\zeta.txt"), "file");
    Selectors s;
    s.dlb->setDirectory(folder);
    QCOMPARE(texts(*s.dlb), entries);
    QCOMPARE(s.dlb->currentRow(), currentRow);
    QCOMPARE(platform::currentFolder(), folder);
}

void TestFolderSelectors::openingAnEntry_data() {
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("double click") << false;
    QTest::newRow("Enter") << true;
}

void TestFolderSelectors::openingAnEntry() {
    QFETCH(bool, byKeyboard);
    m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\Clips\\MOV001.MOD"), "clip");
    Selectors s;
    s.window.show();
    QSignalSpy dirChanged(s.dlb, &DirectoryListBox::changed);
    const QStringList before = texts(*s.dlb);
    const int clips = int(before.indexOf(QStringLiteral("Clips")));
    QVERIFY(clips > 0);
    s.dlb->setCurrentRow(clips);
    // A click that only selects opens nothing.
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    if (byKeyboard) {
        QTest::keyClick(s.dlb, Qt::Key_Return);
    } else {
        const QRect rect = s.dlb->visualItemRect(s.dlb->item(clips));
        QTest::mouseClick(s.dlb->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(s.dlb->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005\\Clips"));
    QCOMPARE(platform::currentFolder(), QStringLiteral("C:\\Suite\\Strovan.2005\\Clips"));
    QCOMPARE(s.flb->directory(), s.dlb->directory());
    QCOMPARE(texts(*s.flb), QStringList{QStringLiteral("MOV001.MOD")});
    QCOMPARE(s.label->text(), QStringLiteral("C:\\Suite\\Strovan.2005\\Clips"));
    QCOMPARE(dirChanged.count(), 1);

    // And back up through a path entry.
    s.dlb->setCurrentRow(1);
    QTest::keyClick(s.dlb, Qt::Key_Enter);
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite"));
}

void TestFolderSelectors::vanishedEntryShowsErrorAndIsDropped() {
    const QString host = m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005\\Parti"));
    Selectors s;
    const int row = int(texts(*s.dlb).indexOf(QStringLiteral("Parti")));
    QVERIFY(row > 0);
    QVERIFY(QDir(host).removeRecursively());
    BoxRecorder boxes;
    s.dlb->setCurrentRow(row);
    QTest::keyClick(s.dlb, Qt::Key_Return);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts.first(), QStringLiteral("Nom de fichier incorrect."));
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QVERIFY(!texts(*s.dlb).contains(QStringLiteral("Parti")));
}

void TestFolderSelectors::refreshGoesUpWhenTheFolderVanished() {
    const QString host = m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005\\A\\B"));
    m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\left.txt"), "x");
    Selectors s;
    s.dlb->setDirectory(QStringLiteral("C:\\Suite\\Strovan.2005\\A\\B"));
    QVERIFY(QDir(host + QStringLiteral("/..")).removeRecursively());
    s.dlb->refresh();
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(platform::currentFolder(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(s.flb->directory(), s.dlb->directory());
    QCOMPARE(texts(*s.flb), QStringList{QStringLiteral("left.txt")});
    QCOMPARE(s.label->text(), QStringLiteral("C:\\Suite\\Strovan.2005"));
}

void TestFolderSelectors::refreshShowsNewFolders() {
    Selectors s;
    m_drives->makeFolder(QStringLiteral("C:\\Suite\\Strovan.2005\\Nouveau"));
    QVERIFY(!texts(*s.dlb).contains(QStringLiteral("Nouveau")));
    s.dlb->refresh();
    QVERIFY(texts(*s.dlb).contains(QStringLiteral("Nouveau")));
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
}

void TestFolderSelectors::fileListShowsNormalFilesOnly() {
    const QString folder = QStringLiteral("C:\\Suite\\Strovan.2005\\");
    for (const char* name : {"b.mod", "A.MOD", ".cache", "c.txt", "Systeme.dat", "Lecture.txt"})
        m_drives->writeFile(folder + QLatin1String(name), "x");
    m_drives->makeFolder(folder + QStringLiteral("Dossier"));
    QCOMPARE(
        platform::setFileAttributes(folder + QStringLiteral("Lecture.txt"), platform::AttrReadOnly),
        0);
    const bool systemKept = platform::setFileAttributes(folder + QStringLiteral("Systeme.dat"),
                                                        platform::AttrSystem) == 0;
    FileListBox flb;
    QStringList expected{"A.MOD", "b.mod", "c.txt", "Lecture.txt"};
    if (!systemKept) // a file system without extended attributes keeps no system bit
        expected.insert(3, QStringLiteral("Systeme.dat"));
    QCOMPARE(texts(flb), expected);
}

void TestFolderSelectors::fileListOrder_data() {
    QTest::addColumn<QStringList>("order");
    // Without regard to case, each code point folded on its own and compared
    // by UTF-16 code units; names equal that way by their own code units.
    QTest::newRow("case") << QStringList{"A.htm", "a.htm", "B.HTM", "b.htm"};
    QTest::newRow("punctuation, not as NTFS")
        << QStringList{"[1].htm", "_x.htm", "a.htm", "Z.htm", "~.htm"};
    QTest::newRow("accents") << QStringList{"Eau.htm", "zèbre.htm", "éa.htm", "École.htm",
                                            "école.htm", "Ωmega.htm", "ωmega.htm"};
    // U+10400 folds to U+10428; both, as surrogates, come before U+FF41.
    QTest::newRow("beyond the BMP")
        << QStringList{"z.htm", QString::fromUcs4(U"\U00010400.htm"),
                       QString::fromUcs4(U"\U00010428.htm"), QString::fromUcs4(U"\uFF41.htm")};
}

// The file list's order, whatever order the folder gives its names in.
void TestFolderSelectors::fileListOrder() {
    QFETCH(QStringList, order);
    QStringList shuffled = order;
    std::reverse(shuffled.begin(), shuffled.end());
    std::swap(shuffled.first(), shuffled[shuffled.size() / 2]);
    for (const QString& name : shuffled)
        m_drives->writeFile(QStringLiteral("X:\\Tri\\") + name, "x");
    FileListBox flb;
    flb.setDirectory(QStringLiteral("X:\\Tri"));
    QCOMPARE(texts(flb), order);
}

void TestFolderSelectors::fileListMasks_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("default") << QString() << QStringList{"a.MOD", "B.mod", "c.MOI", "notes"};
    QTest::newRow("clips") << "*.mod" << QStringList{"a.MOD", "B.mod"};
    QTest::newRow("two masks") << "*.MOD;*.MOI" << QStringList{"a.MOD", "B.mod", "c.MOI"};
    QTest::newRow("nothing") << "*.jpg" << QStringList{};
}

void TestFolderSelectors::fileListMasks() {
    QFETCH(QString, mask);
    QFETCH(QStringList, expected);
    for (const char* name : {"a.MOD", "B.mod", "c.MOI", "notes"})
        m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\") + QLatin1String(name), "");
    FileListBox flb;
    QLineEdit edit;
    flb.setFileEdit(&edit);
    if (!mask.isNull())
        flb.setMask(mask);
    QCOMPARE(texts(flb), expected);
    QCOMPARE(edit.text(), mask.isNull() ? QStringLiteral("*.*") : mask);
}

void TestFolderSelectors::fileEditFollowsSelection() {
    m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\MOV001.MOD"), "");
    m_drives->writeFile(QStringLiteral("C:\\Suite\\Strovan.2005\\MOV002.MOD"), "");
    Selectors s;
    QSignalSpy changed(s.flb, &FileListBox::changed);
    QCOMPARE(s.flb->fileName(), QString());
    s.flb->setCurrentRow(1);
    QCOMPARE(s.flb->fileName(), QStringLiteral("MOV002.MOD"));
    QCOMPARE(s.edit->text(), QStringLiteral("MOV002.MOD"));
    QVERIFY(changed.count() >= 1);
    s.flb->refresh();
    QCOMPARE(s.flb->fileName(), QString());
    QCOMPARE(s.edit->text(), QStringLiteral("*.*"));
}

void TestFolderSelectors::fileListRefreshMakesFolderCurrent() {
    FileListBox flb;
    flb.setDirectory(QStringLiteral("X:\\Site"));
    QCOMPARE(platform::currentFolder(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    m_drives->writeFile(QStringLiteral("X:\\Site\\index.htm"), "<html/>");
    QVERIFY(texts(flb).isEmpty());
    flb.refresh();
    QCOMPARE(platform::currentFolder(), QStringLiteral("X:\\Site"));
    QCOMPARE(texts(flb), QStringList{QStringLiteral("index.htm")});
}

void TestFolderSelectors::tenThousandFiles() {
    const QString host = m_drives->makeFolder(QStringLiteral("C:\\Grand"));
    for (int i = 0; i < 10000; ++i) {
        QFile file(host + QStringLiteral("/MOV%1.MOD").arg(9999 - i, 4, 10, QLatin1Char('0')));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Selectors s;
    s.dlb->setDirectory(QStringLiteral("C:\\Grand"));
    QCOMPARE(s.flb->count(), 10000);
    QCOMPARE(s.flb->item(0)->text(), QStringLiteral("MOV0000.MOD"));
    QCOMPARE(s.flb->item(9999)->text(), QStringLiteral("MOV9999.MOD"));
}

void TestFolderSelectors::sameEntriesWhicheverWayTheFolderIsRead_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("folder list opens it") << "open";
    QTest::newRow("file list alone") << "files";
    QTest::newRow("selectors start on it") << "start";
    QTest::newRow("both lists refreshed") << "refresh";
}

// Hidden and system entries, links and names equal but for case, whether the
// folder list reads the folder for both lists or each list reads it alone.
void TestFolderSelectors::sameEntriesWhicheverWayTheFolderIsRead() {
    QFETCH(QString, way);
    const QString folder = QStringLiteral("X:\\Site\\");
    for (const char* name : {"a.txt", "A.TXT", "Cache.dat", "Noyau.sys", ".profil", "page.htm"})
        m_drives->writeFile(folder + QLatin1String(name), "x");
    for (const char* name : {"Secret", "Zones", ".git"})
        m_drives->makeFolder(folder + QLatin1String(name));
    const QString host = platform::toHostPath(folder);
    QVERIFY(QFile::link(host + "/Zones", host + "/lien dossier"));
    QVERIFY(QFile::link(host + "/page.htm", host + "/lien.htm"));
    const bool kept =
        platform::setFileAttributes(folder + "Cache.dat", platform::AttrHidden) == 0 &&
        platform::setFileAttributes(folder + "Noyau.sys", platform::AttrSystem) == 0 &&
        platform::setFileAttributes(folder + "Secret", platform::AttrHidden) == 0;
    QStringList files{"A.TXT", "a.txt", "lien.htm", "page.htm"};
    QStringList folders{"X:\\", "Site", "Images", "lien dossier", "Zones"};
    if (!kept) { // a file system without extended attributes hides dot names only
        files = QStringList{"A.TXT", "a.txt", "Cache.dat", "lien.htm", "Noyau.sys", "page.htm"};
        folders.insert(4, QStringLiteral("Secret"));
    }

    if (way == u"start")
        platform::setCurrentFolder(QStringLiteral("X:\\Site"));
    Selectors s;
    if (way == u"open") {
        s.dlb->setDirectory(QStringLiteral("X:\\Site"));
    } else if (way == u"files") {
        s.flb->setDirectory(QStringLiteral("X:\\Site"));
    } else if (way == u"refresh") {
        s.dlb->setDirectory(QStringLiteral("X:\\Site"));
        s.dlb->refresh();
        s.flb->refresh();
    }
    QCOMPARE(texts(*s.flb), files);
    if (way != u"files")
        QCOMPARE(texts(*s.dlb), folders);
}

void TestFolderSelectors::driveEntries() {
    m_drives->addBrokenDrive(u'A');
    DriveComboBox dcb;
    const QList<QChar> drives = platform::definedDrives();
    QCOMPARE(dcb.count(), drives.size());
    QCOMPARE(dcb.itemText(0), QStringLiteral("a:")); // no medium: the letter alone
    // A drive that is a folder of a larger file system goes by the folder's name.
    QCOMPARE(dcb.itemText(1),
             QStringLiteral("c: [%1]").arg(QFileInfo(platform::driveHostRoot(u'C')).fileName()));
    for (int i = 0; i < dcb.count(); ++i) {
        QCOMPARE(dcb.itemText(i).left(2), QString(drives[i].toLower()) + u':');
        QVERIFY(!dcb.itemIcon(i).isNull());
    }
}

void TestFolderSelectors::choosingADrive() {
    platform::setCurrentFolder(QStringLiteral("X:\\Site\\Images"));
    platform::setCurrentFolder(QStringLiteral("C:\\Suite\\Strovan.2005"));
    Selectors s;
    QSignalSpy driveChanged(s.dcb, &DriveComboBox::changed);
    s.dcb->setDrive(u'x');
    QCOMPARE(s.dcb->drive(), QChar(u'X'));
    QVERIFY(s.dcb->currentText().startsWith(QStringLiteral("x:")));
    // The drive's own current folder, not its root.
    QCOMPARE(s.dlb->directory(), QStringLiteral("X:\\Site\\Images"));
    QCOMPARE(platform::currentFolder(), QStringLiteral("X:\\Site\\Images"));
    QCOMPARE(s.flb->directory(), QStringLiteral("X:\\Site\\Images"));
    QCOMPARE(driveChanged.count(), 1);

    // The folder list moving to another drive brings the selector along.
    s.dlb->setDirectory(QStringLiteral("C:\\Suite"));
    QCOMPARE(s.dcb->drive(), QChar(u'C'));
    QVERIFY(s.dcb->currentText().startsWith(QStringLiteral("c:")));
    s.dlb->setDrive(u'X');
    QCOMPARE(s.dlb->directory(), QStringLiteral("X:\\Site\\Images"));
    QCOMPARE(s.dcb->drive(), QChar(u'X'));
}

void TestFolderSelectors::sameDriveStaysPut() {
    Selectors s;
    s.dlb->setDirectory(QStringLiteral("C:\\Suite"));
    s.dcb->setDrive(u'c');
    s.dlb->setDrive(u'C');
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite"));
}

void TestFolderSelectors::driveWithoutMediumKeepsTheWindowUsable() {
    m_drives->addBrokenDrive(u'D');
    Selectors s;
    bool raised = false;
    try {
        s.dcb->setDrive(u'D');
    } catch (const platform::IoError& error) {
        raised = true;
        QCOMPARE(error.code(), int(platform::ErrNotReady));
    }
    QVERIFY(raised);
    QCOMPARE(s.dcb->drive(), QChar(u'C'));
    QVERIFY(s.dcb->currentText().startsWith(QStringLiteral("c:")));
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QCOMPARE(platform::currentFolder(), QStringLiteral("C:\\Suite\\Strovan.2005"));
    QVERIFY_THROWS_EXCEPTION(platform::IoError, s.dcb->setDrive(u'Q')); // not defined at all
    QCOMPARE(s.dcb->drive(), QChar(u'C'));
    // Still usable afterwards.
    s.dcb->setDrive(u'X');
    QCOMPARE(s.dlb->directory(), QStringLiteral("X:\\"));
}

void TestFolderSelectors::selectorFollowsVolumes() {
    QList<platform::MountPoint> mounts;
    platform::setMountLister([&mounts] { return mounts; });
    const auto restore = qScopeGuard([&mounts] {
        mounts.clear();
        platform::removableDrives();
        platform::setMountLister({});
    });
    const QString card = m_drives->hostRoot() + QStringLiteral("/carte");
    QVERIFY(QDir().mkpath(card));
    Selectors s;
    s.window.show();
    QCOMPARE(s.dcb->findText(QStringLiteral("d:")), -1);
    mounts << platform::MountPoint{card, "/dev/sdb1", "vfat", QStringLiteral("CARTE"), true};
    // No restart; the card is known by its label.
    QTRY_VERIFY(s.dcb->findText(QStringLiteral("d: [carte]")) >= 0);
    s.dcb->setDrive(u'D');
    QCOMPARE(s.dlb->directory(), QStringLiteral("D:\\"));
    // Taken out while in use: the entry goes, the lists stay usable.
    mounts.clear();
    QTRY_COMPARE(s.dcb->findText(QStringLiteral("d: [carte]")), -1);
    s.dcb->setDrive(u'X');
    QCOMPARE(s.dlb->directory(), QStringLiteral("X:\\"));
}

void TestFolderSelectors::userChoiceOfADriveWithoutMedium() {
    m_drives->addBrokenDrive(u'D');
    Selectors s;
    BoxRecorder boxes;
    const int d = s.dcb->findText(QStringLiteral("d:"));
    QVERIFY(d >= 0);
    s.dcb->setCurrentIndex(d);
    emit s.dcb->activated(d);
    // The code's message, then which drive is not ready.
    QCOMPARE(boxes.texts.size(), 1);
    const QStringList lines = boxes.texts.first().split(u'\r');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Erreur E/S 21."));
    QVERIFY2(lines[1].contains(QStringLiteral("d:")), qPrintable(lines[1]));
    QCOMPARE(s.dcb->drive(), QChar(u'C'));
    QVERIFY(s.dcb->currentText().startsWith(QStringLiteral("c:")));
    QCOMPARE(s.dlb->directory(), QStringLiteral("C:\\Suite\\Strovan.2005"));

    const int x = s.dcb->findText(QStringLiteral("x:"), Qt::MatchStartsWith);
    s.dcb->setCurrentIndex(x);
    emit s.dcb->activated(x);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(s.dlb->directory(), QStringLiteral("X:\\"));
}

void TestFolderSelectors::rememberedFolderGoneFallsBackToRoot() {
    platform::setCurrentFolder(QStringLiteral("X:\\Site\\Images"));
    platform::setCurrentFolder(QStringLiteral("C:\\Suite"));
    QVERIFY(QDir(platform::toHostPath(QStringLiteral("X:\\Site"))).removeRecursively());
    Selectors s;
    s.dcb->setDrive(u'X');
    QCOMPARE(s.dlb->directory(), QStringLiteral("X:\\"));
}

void TestFolderSelectors::comboAloneMakesTheDriveCurrent() {
    m_drives->addBrokenDrive(u'D');
    DriveComboBox dcb;
    dcb.setDrive(u'X');
    QCOMPARE(dcb.drive(), QChar(u'X'));
    QCOMPARE(platform::currentFolder(), QStringLiteral("X:\\"));
    QVERIFY_THROWS_EXCEPTION(platform::IoError, dcb.setDrive(u'D'));
    QCOMPARE(dcb.drive(), QChar(u'X'));
}

void TestFolderSelectors::labelIsShortenedToTheListWidth() {
    const QString deep = QStringLiteral(
        "C:\\Suite\\Strovan.2005\\Un dossier au nom assez long\\Encore un autre niveau\\Clips");
    m_drives->makeFolder(deep);
    Selectors s;
    s.dlb->setDirectory(deep);
    const QString shown = s.label->text();
    QVERIFY2(shown.contains(QStringLiteral("...\\")), qPrintable(shown));
    QVERIFY(shown.endsWith(QStringLiteral("\\Clips")));
    QVERIFY(QFontMetrics(s.label->font()).horizontalAdvance(shown) <= s.dlb->width());
    // A wider list shows more of the path.
    s.window.show();
    s.dlb->resize(2000, 273);
    QCOMPARE(s.label->text(), deep);
}

void TestFolderSelectors::labelShowsMarkupAsText() {
    m_drives->makeFolder(QStringLiteral("C:\\<i>gras&amp;"));
    Selectors s;
    s.dlb->setDirectory(QStringLiteral("C:\\<i>gras&amp;"));
    QCOMPARE(s.label->text(), QStringLiteral("C:\\<i>gras&amp;"));
    QCOMPARE(s.label->textFormat(), Qt::PlainText);
}

void TestFolderSelectors::driveEntryTexts_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    using K = platform::DriveKind;
    QTest::newRow("fixed") << int(K::Fixed) << "Données"
                           << ""
                           << ""
                           << "c: [données]";
    QTest::newRow("fixed, no label") << int(K::Fixed) << ""
                                     << ""
                                     << ""
                                     << "c: []";
    QTest::newRow("folder of a larger volume") << int(K::Fixed) << "Données"
                                               << ""
                                               << "Pelmora"
                                               << "c: [Pelmora]";
    QTest::newRow("cd-rom") << int(K::CdRom) << "SITE_2026"
                            << ""
                            << ""
                            << "c: [site_2026]";
    QTest::newRow("ram") << int(K::RamDisk) << "RAM"
                         << ""
                         << ""
                         << "c: [ram]";
    QTest::newRow("network") << int(K::Remote) << ""
                             << "//Serveur/Partage"
                             << ""
                             << "c: //serveur/partage";
    QTest::newRow("removable") << int(K::Removable) << "CAMESCOPE"
                               << ""
                               << ""
                               << "c: [camescope]";
    QTest::newRow("removable, no medium") << int(K::Removable) << ""
                                          << ""
                                          << ""
                                          << "c:";
}

void TestFolderSelectors::driveEntryTexts() {
    QFETCH(int, kind);
    QFETCH(QString, label);
    QFETCH(QString, remote);
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    platform::Volume volume{platform::DriveKind(kind), label, remote, folder};
    QCOMPARE(toolkit::driveEntryText(u'C', volume), expected);
    // The whole system says what it is, whatever its file system calls itself.
    volume.wholeSystem = true;
    QCOMPARE(toolkit::driveEntryText(u'Z', volume), QStringLiteral("z: [Système]"));
}

void TestFolderSelectors::shortenFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fitting"); // the width allowed is this text's width
    QTest::addColumn<QString>("expected");
    const QString path = QStringLiteral("C:\\Suite\\Strovan.2005\\Clips");
    QTest::newRow("fits") << path << path << path;
    QTest::newRow("first folder") << path << "C:\\...\\Strovan.2005\\Clips"
                                  << "C:\\...\\Strovan.2005\\Clips";
    QTest::newRow("two folders") << path << "C:\\...\\Clips"
                                 << "C:\\...\\Clips";
    QTest::newRow("drive") << path << "...\\Clips"
                           << "...\\Clips";
    QTest::newRow("name only") << path << "Clips"
                               << "Clips";
    QTest::newRow("narrower than the name") << path << "C"
                                            << "Clips";
    QTest::newRow("root") << "C:\\"
                          << ""
                          << "C:\\";
    QTest::newRow("below the root") << "C:\\Clips"
                                    << "Clip"
                                    << "Clips";
    QTest::newRow("just below the width") << path << "C:\\...\\Strovan.2005\\Clip"
                                          << "C:\\...\\Clips";
}

void TestFolderSelectors::shortenFolder() {
    QFETCH(QString, folder);
    QFETCH(QString, fitting);
    QFETCH(QString, expected);
    const QFontMetrics metrics(QApplication::font());
    QCOMPARE(toolkit::shortenFolder(folder, metrics, metrics.horizontalAdvance(fitting)), expected);
}

QTEST_MAIN(TestFolderSelectors)
#include "tst_folderselectors.moc"
