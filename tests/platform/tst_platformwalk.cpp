// Listing, no-replace rename and delete with Windows semantics.
#include "support/NoDacOverride.h"
#include "support/TempDrives.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

// Stands in for the C library's renameat2 (the executable's definition wins),
// so that a file system refusing RENAME_NOREPLACE can be played.
namespace {
bool g_refuseNoReplace = false;
int g_renameat2Calls = 0;
} // namespace

extern "C" int renameat2(int oldDirFd, const char* oldPath, int newDirFd, const char* newPath,
                         unsigned int flags) noexcept {
    ++g_renameat2Calls;
    if (g_refuseNoReplace && (flags & RENAME_NOREPLACE)) {
        errno = EINVAL;
        return -1;
    }
    return int(::syscall(SYS_renameat2, oldDirFd, oldPath, newDirFd, newPath, flags));
}

using namespace platform;

namespace {

struct RefuseNoReplace {
    RefuseNoReplace() { g_refuseNoReplace = true; }
    ~RefuseNoReplace() { g_refuseNoReplace = false; }
};

QStringList names(const QList<DirEntry>& entries) {
    QStringList result;
    for (const DirEntry& entry : entries)
        result << entry.name;
    return result;
}

const DirEntry* find(const QList<DirEntry>& entries, const QString& name) {
    for (const DirEntry& entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

bool hostExists(const QString& hostPath) {
    struct stat st;
    return ::lstat(QFile::encodeName(hostPath).constData(), &st) == 0;
}

QByteArray hostRead(const QString& hostPath) {
    QFile file(hostPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void hostWrite(const QString& hostPath, const QByteArray& content) {
    QFile file(hostPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Read-only as the model keeps it: no write permission for anyone.
bool makeReadOnly(const QString& winPath) {
    return ::chmod(QFile::encodeName(platform::toHostPath(winPath)).constData(), 0444) == 0;
}

// A folder path of some 600 characters below X:\ (accented names take two
// bytes each on the host).
QString deepFolder() {
    QString path = u"X:"_qs;
    for (int level = 0; level < 6; ++level)
        path += u'\\' + QString(99, QChar(level % 2 ? u'è' : u'f'));
    return path;
}

} // namespace

class TestPlatformWalk : public QObject {
    Q_OBJECT

private slots:
    void matchesWildcards_data();
    void matchesWildcards();

    void listsEveryEntryInAStableOrder();
    void listsNoDotsAtADriveRoot();
    void filtersByMask();
    void reportsLinksAsLinks();
    void leavesOutNamesHoldingABackslash();
    void reportsFoldersThatCannotBeListed();
    void listsDeepFolders();

    void renamesFilesAndFolders();
    void neverReplacesATarget();
    void renamesWhereNoReplaceIsRefused();
    void finishesARenameCutOffBetweenLinkAndUnlink_data();
    void finishesARenameCutOffBetweenLinkAndUnlink();
    void renamesLinksThemselves();
    void reportsMissingSourcesAndFolders();
    void neverReachesNamesHoldingABackslash();
    void renamesInDeepFolders();

    void deletesFiles();
    void keepsReadOnlyFilesAndFolders();
    void deletesLinksThemselves();
    void reportsWhatCannotBeDeleted();

    void opensFoldersByWindowsPath();
    void opensSubfoldersButNeverLinks();
    void listsKindsAsTheFullListingDoes();
    void movesAndDeletesEntriesAsPathsDo();
    void refusesNamesThatAreNoEntryNames();
    void worksInAFolderThatMayNotBeRead();
    void keepsWorkingInAMovedFolder();
    void reachesBeyondTheHostPathLimit();
};

void TestPlatformWalk::matchesWildcards_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("*.* without dot") << "PRG001"
                                     << "*.*" << true;
    QTest::newRow("*.* with dot") << "MOV001.MOD"
                                  << "*.*" << true;
    QTest::newRow("*.* dot") << "."
                             << "*.*" << true;
    QTest::newRow("*.* dotdot") << ".."
                                << "*.*" << true;
    QTest::newRow("*.* hidden") << ".hidden"
                                << "*.*" << true;
    QTest::newRow("*") << "PRG001"
                       << "*" << true;
    QTest::newRow("ext") << "MOV001.MOD"
                         << "*.MOD" << true;
    QTest::newRow("ext any case") << "mov001.mod"
                                  << "*.MOD" << true;
    QTest::newRow("accents any case") << "ÉTÉ.mod"
                                      << "été.*" << true;
    QTest::newRow("longer ext") << "MOV001.MODX"
                                << "*.MOD" << false;
    QTest::newRow("other ext") << "MOV001.MOI"
                               << "*.MOD" << false;
    QTest::newRow("no ext vs ext") << "MOV001"
                                   << "*.MOD" << false;
    QTest::newRow("*. without ext") << "PRG001"
                                    << "*." << true;
    QTest::newRow("*. with ext") << "MOV001.MOD"
                                 << "*." << false;
    QTest::newRow("name.* without ext") << "MOV001"
                                        << "MOV001.*" << true;
    QTest::newRow("name.* with ext") << "MOV001.MOD"
                                     << "MOV001.*" << true;
    QTest::newRow("name.* other") << "MOV002"
                                  << "MOV001.*" << false;
    QTest::newRow("question marks") << "MOV00A.MOD"
                                    << "MOV???.MOD" << true;
    QTest::newRow("question mark needs one") << "MOV0A.MOD"
                                             << "MOV???.MOD" << false;
    QTest::newRow("exact") << "PRG0001"
                           << "prg0001" << true;
    QTest::newRow("exact other") << "PRG0001"
                                 << "PRG001" << false;
    QTest::newRow("star inside") << "MOV001.MOD"
                                 << "M*1.M*D" << true;
}

void TestPlatformWalk::matchesWildcards() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(matchesWildcard(name, pattern), matches);
}

void TestPlatformWalk::listsEveryEntryInAStableOrder() {
    TempDrives drives;
    drives.addDrive(u'x');
    for (const char* name : {"b.MOD", "A", "_x", "Z.txt", "noext", ".hidden", "c.MOI"})
        drives.writeFile(u"X:\\d\\"_qs + QLatin1String(name), name);
    drives.makeFolder(u"X:\\d\\PRG001"_qs);
    QVERIFY(makeReadOnly(u"X:\\d\\c.MOI"_qs));
    setFileAttributes(u"X:\\d\\Z.txt"_qs, AttrHidden | AttrSystem); // where xattrs are kept

    int error = -1;
    const QList<DirEntry> entries = listFolder(u"X:\\d\\*.*"_qs, &error);
    QCOMPARE(error, 0);
    // "." and ".." first, then by name as upper case ("_" after the letters).
    QCOMPARE(names(entries), QStringList({".", "..", ".hidden", "A", "b.MOD", "c.MOI", "noext",
                                          "PRG001", "Z.txt", "_x"}));
    QVERIFY(entries[0].isFolder() && entries[1].isFolder());
    QVERIFY(find(entries, u"PRG001"_qs)->isFolder());
    QVERIFY(!find(entries, u"noext"_qs)->isFolder());
    QVERIFY(find(entries, u".hidden"_qs)->attributes & AttrHidden);
    QVERIFY(find(entries, u"c.MOI"_qs)->attributes & AttrReadOnly);
    QCOMPARE(find(entries, u"A"_qs)->attributes, std::uint32_t(AttrArchive));
    QVERIFY(!find(entries, u"PRG001"_qs)->isLink());
    // The same listing every time.
    QCOMPARE(names(listFolder(u"X:\\d\\*.*"_qs)), names(entries));
    // Names that differ only by case (possible on the host) keep one order.
    drives.writeFile(u"X:\\d\\a"_qs, "a");
    const QStringList again = names(listFolder(u"X:\\d\\*.*"_qs));
    QCOMPARE(again.indexOf(u"A"_qs) + 1, again.indexOf(u"a"_qs));
    // A trailing backslash and a folder found without regard to case.
    QCOMPARE(names(listFolder(u"x:\\D\\\\*.*"_qs)), again);
}

void TestPlatformWalk::listsNoDotsAtADriveRoot() {
    TempDrives drives;
    drives.addDrive(u'x');
    drives.writeFile(u"X:\\AAA001.MOD"_qs, "a");
    drives.makeFolder(u"X:\\PRG001"_qs);
    int error = -1;
    QCOMPARE(names(listFolder(u"X:\\*.*"_qs, &error)), QStringList({"AAA001.MOD", "PRG001"}));
    QCOMPARE(error, 0);
    QCOMPARE(names(listFolder(u"X:\\\\*.*"_qs)), QStringList({"AAA001.MOD", "PRG001"}));
}

void TestPlatformWalk::filtersByMask() {
    TempDrives drives;
    drives.addDrive(u'x');
    for (const char* name : {"MOV001.MOD", "MOV002.mod", "MOV003.MODX", "MOV004.MOI", "MOV005"})
        drives.writeFile(u"X:\\d\\"_qs + QLatin1String(name), name);
    QCOMPARE(names(listFolder(u"X:\\d\\*.MOD"_qs)), QStringList({"MOV001.MOD", "MOV002.mod"}));
    QCOMPARE(names(listFolder(u"X:\\d\\MOV005.*"_qs)), QStringList({"MOV005"}));
    QCOMPARE(names(listFolder(u"X:\\d\\mov004.moi"_qs)), QStringList({"MOV004.MOI"}));
    int error = -1;
    QCOMPARE(listFolder(u"X:\\d\\*.TXT"_qs, &error).size(), 0);
}

void TestPlatformWalk::reportsLinksAsLinks() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\target\\file.MOD"_qs, "t");
    QVERIFY(QFile::link(root + u"/target"_qs, root + u"/d/toFolder"_qs) ||
            (QDir().mkpath(root + u"/d"_qs) &&
             QFile::link(root + u"/target"_qs, root + u"/d/toFolder"_qs)));
    QVERIFY(QFile::link(root + u"/target/file.MOD"_qs, root + u"/d/toFile.MOD"_qs));
    QVERIFY(QFile::link(root + u"/nowhere"_qs, root + u"/d/broken.MOD"_qs));
    const QList<DirEntry> entries = listFolder(u"X:\\d\\*.*"_qs);
    QCOMPARE(names(entries), QStringList({".", "..", "broken.MOD", "toFile.MOD", "toFolder"}));
    QCOMPARE(find(entries, u"toFolder"_qs)->attributes,
             std::uint32_t(AttrReparsePoint | AttrDirectory));
    QVERIFY(find(entries, u"toFile.MOD"_qs)->isLink());
    QVERIFY(!find(entries, u"toFile.MOD"_qs)->isFolder());
    QVERIFY(find(entries, u"broken.MOD"_qs)->isLink());
    QVERIFY(!find(entries, u"broken.MOD"_qs)->isFolder());
}

void TestPlatformWalk::leavesOutNamesHoldingABackslash() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV001.MOD"_qs, "m");
    hostWrite(root + u"/d/PRG001\\MOV002.MOD"_qs, "b");
    QDir().mkpath(root + u"/d/PRG\\003"_qs);
    QCOMPARE(names(listFolder(u"X:\\d\\*.*"_qs)), QStringList({".", "..", "MOV001.MOD"}));
}

void TestPlatformWalk::reportsFoldersThatCannotBeListed() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\file"_qs, "f");
    int error = 0;
    QVERIFY(listFolder(u"X:\\gone\\*.*"_qs, &error).isEmpty());
    QCOMPARE(error, int(ErrPathNotFound));
    error = 0;
    QVERIFY(listFolder(u"X:\\gone\\deeper\\*.*"_qs, &error).isEmpty());
    QCOMPARE(error, int(ErrPathNotFound));
    error = 0;
    QVERIFY(listFolder(u"X:\\d\\file\\*.*"_qs, &error).isEmpty());
    QCOMPARE(error, int(ErrPathNotFound));
    error = 0;
    QVERIFY(listFolder(u"Q:\\*.*"_qs, &error).isEmpty());
    QCOMPARE(error, int(ErrInvalidDrive));

    const QByteArray locked = QFile::encodeName(root + u"/d"_qs);
    QCOMPARE(::chmod(locked.constData(), 0300), 0);
    {
        NoDacOverride bound;
        if (!bound.active()) {
            ::chmod(locked.constData(), 0755);
            QSKIP("permission bits cannot be made to bind here");
        }
        error = 0;
        QVERIFY(listFolder(u"X:\\d\\*.*"_qs, &error).isEmpty());
        QCOMPARE(error, int(ErrAccessDenied));
    }
    ::chmod(locked.constData(), 0755);
}

void TestPlatformWalk::listsDeepFolders() {
    TempDrives drives;
    drives.addDrive(u'x');
    const QString deep = deepFolder();
    QVERIFY(deep.size() > 255 * 2);
    drives.writeFile(deep + u"\\MOV001.MOD"_qs, "deep");
    int error = -1;
    QCOMPARE(names(listFolder(deep + u"\\*.*"_qs, &error)), QStringList({".", "..", "MOV001.MOD"}));
    QCOMPARE(error, 0);
}

void TestPlatformWalk::renamesFilesAndFolders() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\PRG001\\MOV001.MOD"_qs, "clip");
    QCOMPARE(moveFile(u"X:\\PRG001\\MOV001.MOD"_qs, u"X:\\PRG001\\MOV0001.MPG"_qs), 0);
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\PRG0001"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\PRG0001\\MOV0001.MPG"_qs), QByteArray("clip"));
    QVERIFY(!hostExists(root + u"/PRG001"_qs));
    // Into another folder, with the source found without regard to case.
    drives.makeFolder(u"X:\\other"_qs);
    QCOMPARE(moveFile(u"x:\\prg0001\\mov0001.mpg"_qs, u"X:\\other\\Été.MPG"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\other\\Été.MPG"_qs), QByteArray("clip"));
    // A change of case only, and a rename onto itself.
    QCOMPARE(moveFile(u"X:\\other\\Été.MPG"_qs, u"X:\\other\\ÉTÉ.mpg"_qs), 0);
    QVERIFY(hostExists(root + u"/other/ÉTÉ.mpg"_qs));
    QVERIFY(!hostExists(root + u"/other/Été.MPG"_qs));
    QCOMPARE(moveFile(u"X:\\other\\ÉTÉ.mpg"_qs, u"X:\\other\\ÉTÉ.mpg"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\other\\ÉTÉ.mpg"_qs), QByteArray("clip"));
}

void TestPlatformWalk::neverReplacesATarget() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\a.MOD"_qs, "a");
    drives.writeFile(u"X:\\b.MPG"_qs, "b");
    drives.writeFile(u"X:\\full\\inside"_qs, "inside");
    drives.makeFolder(u"X:\\empty"_qs);
    drives.makeFolder(u"X:\\PRG001"_qs);
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\b.MPG"_qs), int(ErrAlreadyExists));
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\empty"_qs), int(ErrAlreadyExists));
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\empty"_qs), int(ErrAlreadyExists));
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\full"_qs), int(ErrAlreadyExists));
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\b.MPG"_qs), int(ErrAlreadyExists));
    // A dangling link in the way is still in the way.
    QVERIFY(QFile::link(root + u"/nowhere"_qs, root + u"/link.MPG"_qs));
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\link.MPG"_qs), int(ErrAlreadyExists));
    QCOMPARE(drives.readFile(u"X:\\a.MOD"_qs), QByteArray("a"));
    QCOMPARE(drives.readFile(u"X:\\b.MPG"_qs), QByteArray("b"));
    QCOMPARE(drives.readFile(u"X:\\full\\inside"_qs), QByteArray("inside"));
    QVERIFY(QFileInfo(root + u"/empty"_qs).isDir());
    QVERIFY(QFileInfo(root + u"/PRG001"_qs).isDir());
    QCOMPARE(QFileInfo(root + u"/link.MPG"_qs).symLinkTarget(), root + u"/nowhere"_qs);
}

void TestPlatformWalk::renamesWhereNoReplaceIsRefused() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\a.MOD"_qs, "a");
    drives.writeFile(u"X:\\b.MPG"_qs, "b");
    drives.writeFile(u"X:\\PRG001\\MOV001.MOD"_qs, "m");
    drives.makeFolder(u"X:\\PRG0002"_qs);
    QVERIFY(QFile::link(root + u"/b.MPG"_qs, root + u"/link.MOD"_qs));
    RefuseNoReplace refused;
    const int calls = g_renameat2Calls;
    // Files go by a hard link, which never replaces.
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\b.MPG"_qs), int(ErrAlreadyExists));
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\a.MPG"_qs), 0);
    QVERIFY(!hostExists(root + u"/a.MOD"_qs));
    QCOMPARE(drives.readFile(u"X:\\a.MPG"_qs), QByteArray("a"));
    QCOMPARE(moveFile(u"X:\\link.MOD"_qs, u"X:\\link.MPG"_qs), 0);
    QCOMPARE(QFileInfo(root + u"/link.MPG"_qs).symLinkTarget(), root + u"/b.MPG"_qs);
    // Folders are looked at first.
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\PRG0002"_qs), int(ErrAlreadyExists));
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\PRG0001"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\PRG0001\\MOV001.MOD"_qs), QByteArray("m"));
    QCOMPARE(drives.readFile(u"X:\\b.MPG"_qs), QByteArray("b"));
    QVERIFY(g_renameat2Calls > calls); // the no-replace rename was tried
}

void TestPlatformWalk::finishesARenameCutOffBetweenLinkAndUnlink_data() {
    QTest::addColumn<bool>("noReplaceRefused");
    QTest::addColumn<bool>("throughFolder");
    QTest::addColumn<bool>("sameFile"); // the new name is a second link to the old one's file
    QTest::addColumn<int>("expected");
    for (const bool refused : {false, true}) {
        for (const bool folder : {false, true}) {
            const QByteArray how = QByteArray(refused ? "no-replace refused" : "no-replace") +
                                   (folder ? ", open folder" : ", paths");
            QTest::newRow("second link, " + how) << refused << folder << true << 0;
            QTest::newRow("another file, " + how)
                << refused << folder << false << int(ErrAlreadyExists);
        }
    }
}

void TestPlatformWalk::finishesARenameCutOffBetweenLinkAndUnlink() {
    QFETCH(bool, noReplaceRefused);
    QFETCH(bool, throughFolder);
    QFETCH(bool, sameFile);
    QFETCH(int, expected);
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    const QString clip = drives.writeFile(u"X:\\PRG001\\MOV001.MOD"_qs, "clip");
    const QString renamed = root + u"/PRG001/MOV0001.MPG"_qs;
    if (sameFile)
        QVERIFY(::link(QFile::encodeName(clip).constData(),
                       QFile::encodeName(renamed).constData()) == 0);
    else
        hostWrite(renamed, "clip");
    std::optional<RefuseNoReplace> refused;
    if (noReplaceRefused)
        refused.emplace();
    Folder folder = Folder::open(u"X:\\PRG001"_qs);
    QCOMPARE(throughFolder ? folder.moveEntry(u"MOV001.MOD"_qs, u"MOV0001.MPG"_qs)
                           : moveFile(u"X:\\PRG001\\MOV001.MOD"_qs, u"X:\\PRG001\\MOV0001.MPG"_qs),
             expected);
    QCOMPARE(hostExists(clip), !sameFile);
    QCOMPARE(hostRead(renamed), QByteArray("clip"));
}

void TestPlatformWalk::renamesLinksThemselves() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\target\\MOV001.MOD"_qs, "t");
    drives.makeFolder(u"X:\\d"_qs);
    QVERIFY(QFile::link(root + u"/target/MOV001.MOD"_qs, root + u"/d/MOV001.MOD"_qs));
    QVERIFY(QFile::link(root + u"/target"_qs, root + u"/d/PRG001"_qs));
    QCOMPARE(moveFile(u"X:\\d\\MOV001.MOD"_qs, u"X:\\d\\MOV0001.MPG"_qs), 0);
    QCOMPARE(moveFile(u"X:\\d\\PRG001"_qs, u"X:\\d\\PRG0001"_qs), 0);
    QCOMPARE(QFileInfo(root + u"/d/MOV0001.MPG"_qs).symLinkTarget(),
             root + u"/target/MOV001.MOD"_qs);
    QCOMPARE(QFileInfo(root + u"/d/PRG0001"_qs).symLinkTarget(), root + u"/target"_qs);
    QCOMPARE(drives.readFile(u"X:\\target\\MOV001.MOD"_qs), QByteArray("t"));
}

void TestPlatformWalk::reportsMissingSourcesAndFolders() {
    TempDrives drives;
    drives.addDrive(u'x');
    drives.writeFile(u"X:\\a.MOD"_qs, "a");
    QCOMPARE(moveFile(u"X:\\gone.MOD"_qs, u"X:\\b.MPG"_qs), int(ErrFileNotFound));
    QCOMPARE(moveFile(u"X:\\gone.MOD"_qs, u"X:\\gone.MOD"_qs), int(ErrFileNotFound));
    QCOMPARE(moveFile(u"X:\\nowhere\\a.MOD"_qs, u"X:\\b.MPG"_qs), int(ErrPathNotFound));
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\nowhere\\b.MPG"_qs), int(ErrPathNotFound));
    QCOMPARE(moveFile(u"Q:\\a.MOD"_qs, u"Q:\\b.MPG"_qs), int(ErrInvalidDrive));
    QCOMPARE(drives.readFile(u"X:\\a.MOD"_qs), QByteArray("a"));
}

void TestPlatformWalk::neverReachesNamesHoldingABackslash() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\a.MOD"_qs, "a");
    hostWrite(root + u"/PRG001\\MOV001.MOD"_qs, "odd");
    hostWrite(root + u"/PRG001\\MOV001.MOI"_qs, "odd index");
    QCOMPARE(moveFile(u"X:\\PRG001\\MOV001.MOD"_qs, u"X:\\b.MPG"_qs), int(ErrPathNotFound));
    QCOMPARE(moveFile(u"X:\\a.MOD"_qs, u"X:\\PRG001\\MOV001.MOD"_qs), int(ErrPathNotFound));
    QCOMPARE(deleteFile(u"X:\\PRG001\\MOV001.MOI"_qs), int(ErrPathNotFound));
    QCOMPARE(hostRead(root + u"/PRG001\\MOV001.MOD"_qs), QByteArray("odd"));
    QCOMPARE(hostRead(root + u"/PRG001\\MOV001.MOI"_qs), QByteArray("odd index"));
    QCOMPARE(drives.readFile(u"X:\\a.MOD"_qs), QByteArray("a"));
}

void TestPlatformWalk::renamesInDeepFolders() {
    TempDrives drives;
    drives.addDrive(u'x');
    const QString deep = deepFolder();
    drives.writeFile(deep + u"\\PRG001\\MOV001.MOD"_qs, "deep");
    drives.writeFile(deep + u"\\PRG001\\MOV001.MOI"_qs, "index");
    QCOMPARE(moveFile(deep + u"\\PRG001"_qs, deep + u"\\PRG0001"_qs), 0);
    QCOMPARE(moveFile(deep + u"\\PRG0001\\MOV001.MOD"_qs, deep + u"\\PRG0001\\MOV0001.MPG"_qs), 0);
    QCOMPARE(deleteFile(deep + u"\\PRG0001\\MOV001.MOI"_qs), 0);
    QCOMPARE(drives.readFile(deep + u"\\PRG0001\\MOV0001.MPG"_qs), QByteArray("deep"));
    QCOMPARE(names(listFolder(deep + u"\\PRG0001\\*.*"_qs)),
             QStringList({".", "..", "MOV0001.MPG"}));
}

void TestPlatformWalk::deletesFiles() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV001.MOI"_qs, "i");
    drives.writeFile(u"X:\\d\\PRG001.PGI"_qs, "p");
    drives.writeFile(u"X:\\d\\.MOI"_qs, "h");
    setFileAttributes(u"X:\\d\\PRG001.PGI"_qs, AttrHidden | AttrSystem);
    QCOMPARE(deleteFile(u"X:\\d\\MOV001.MOI"_qs), 0);
    QCOMPARE(deleteFile(u"x:\\D\\prg001.pgi"_qs), 0);
    QCOMPARE(deleteFile(u"X:\\d\\.MOI"_qs), 0);
    QCOMPARE(names(listFolder(u"X:\\d\\*.*"_qs)), QStringList({".", ".."}));
}

void TestPlatformWalk::keepsReadOnlyFilesAndFolders() {
    TempDrives drives;
    drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV001.MOI"_qs, "i");
    drives.makeFolder(u"X:\\d\\PRG001.MOI"_qs);
    QVERIFY(makeReadOnly(u"X:\\d\\MOV001.MOI"_qs));
    QCOMPARE(deleteFile(u"X:\\d\\MOV001.MOI"_qs), int(ErrAccessDenied));
    QCOMPARE(deleteFile(u"X:\\d\\PRG001.MOI"_qs), int(ErrAccessDenied));
    QCOMPARE(drives.readFile(u"X:\\d\\MOV001.MOI"_qs), QByteArray("i"));
    QVERIFY(folderExists(u"X:\\d\\PRG001.MOI"_qs));
    QCOMPARE(::chmod(QFile::encodeName(toHostPath(u"X:\\d\\MOV001.MOI"_qs)).constData(), 0644), 0);
    QCOMPARE(deleteFile(u"X:\\d\\MOV001.MOI"_qs), 0);
}

void TestPlatformWalk::deletesLinksThemselves() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\target\\MOV001.MOI"_qs, "t");
    drives.makeFolder(u"X:\\d"_qs);
    QVERIFY(makeReadOnly(u"X:\\target\\MOV001.MOI"_qs));
    QVERIFY(QFile::link(root + u"/target/MOV001.MOI"_qs, root + u"/d/MOV001.MOI"_qs));
    QVERIFY(QFile::link(root + u"/nowhere"_qs, root + u"/d/MOV002.MOI"_qs));
    QVERIFY(QFile::link(root + u"/target"_qs, root + u"/d/PRG001.MOI"_qs));
    QCOMPARE(deleteFile(u"X:\\d\\MOV001.MOI"_qs), 0);
    QCOMPARE(deleteFile(u"X:\\d\\MOV002.MOI"_qs), 0);
    // A link to a folder is a folder to Windows: not deleted as a file.
    QCOMPARE(deleteFile(u"X:\\d\\PRG001.MOI"_qs), int(ErrAccessDenied));
    QCOMPARE(names(listFolder(u"X:\\d\\*.*"_qs)), QStringList({".", "..", "PRG001.MOI"}));
    QCOMPARE(drives.readFile(u"X:\\target\\MOV001.MOI"_qs), QByteArray("t"));
}

void TestPlatformWalk::reportsWhatCannotBeDeleted() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV001.MOI"_qs, "i");
    QCOMPARE(deleteFile(u"X:\\d\\gone.MOI"_qs), int(ErrFileNotFound));
    QCOMPARE(deleteFile(u"X:\\gone\\gone.MOI"_qs), int(ErrPathNotFound));
    QCOMPARE(deleteFile(u"Q:\\gone.MOI"_qs), int(ErrInvalidDrive));
    // A file in a folder that may not be written.
    const QByteArray locked = QFile::encodeName(root + u"/d"_qs);
    QCOMPARE(::chmod(locked.constData(), 0555), 0);
    int result = -1;
    {
        NoDacOverride bound;
        if (bound.active())
            result = deleteFile(u"X:\\d\\MOV001.MOI"_qs);
    }
    ::chmod(locked.constData(), 0755);
    if (result != -1)
        QCOMPARE(result, int(ErrAccessDenied));
    QCOMPARE(drives.readFile(u"X:\\d\\MOV001.MOI"_qs), QByteArray("i"));
}

void TestPlatformWalk::opensFoldersByWindowsPath() {
    TempDrives drives;
    drives.addDrive(u'x');
    drives.addBrokenDrive(u'r');
    drives.writeFile(u"X:\\d\\file"_qs, "f");
    int error = -1;
    QVERIFY(Folder::open(u"X:\\d"_qs, &error).isOpen());
    QCOMPARE(error, 0);
    QVERIFY(Folder::open(u"x:\\D\\"_qs, &error).isOpen());
    Folder root = Folder::open(u"X:\\"_qs, &error);
    QCOMPARE(names(root.list(u"*.*"_qs)), QStringList({"d"})); // no dots at a root
    QVERIFY(!Folder::open(u"X:\\gone"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrPathNotFound));
    QVERIFY(!Folder::open(u"X:\\d\\file"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrPathNotFound));
    QVERIFY(!Folder::open(u"Q:\\d"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrInvalidDrive));
    QVERIFY(!Folder::open(u"R:\\"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrNotReady));
    // A closed folder does nothing.
    Folder closed;
    QCOMPARE(closed.list(u"*.*"_qs, &error).size(), 0);
    QCOMPARE(error, int(ErrPathNotFound));
    QCOMPARE(closed.moveEntry(u"a"_qs, u"b"_qs), int(ErrPathNotFound));
    QCOMPARE(closed.deleteEntry(u"a"_qs), int(ErrPathNotFound));
}

void TestPlatformWalk::opensSubfoldersButNeverLinks() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\target\\MOV001.MOD"_qs, "t");
    drives.writeFile(u"X:\\d\\PRG001\\MOV002.MOD"_qs, "m");
    drives.writeFile(u"X:\\d\\file"_qs, "f");
    QVERIFY(QFile::link(root + u"/target"_qs, root + u"/d/PRG002"_qs));
    QVERIFY(QFile::link(root + u"/nowhere"_qs, root + u"/d/PRG003"_qs));
    const Folder d = Folder::open(u"X:\\d"_qs);
    int error = -1;
    Folder sub = d.openSubfolder(u"PRG001"_qs, &error);
    QCOMPARE(error, 0);
    QCOMPARE(names(sub.list(u"*.*"_qs)), QStringList({".", "..", "MOV002.MOD"}));
    QVERIFY(!d.openSubfolder(u"PRG002"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrAccessDenied));
    QVERIFY(!d.openSubfolder(u"PRG003"_qs, &error).isOpen());
    QVERIFY(!d.openSubfolder(u"gone"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrPathNotFound));
    QVERIFY(!d.openSubfolder(u"file"_qs, &error).isOpen());
    QCOMPARE(error, int(ErrPathNotFound));
    QVERIFY(!d.openSubfolder(u"."_qs, &error).isOpen());
    QVERIFY(!d.openSubfolder(u".."_qs, &error).isOpen());
    QVERIFY(!d.openSubfolder(u"PRG001/.."_qs, &error).isOpen());
}

void TestPlatformWalk::listsKindsAsTheFullListingDoes() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV001.MOD"_qs, "m");
    drives.writeFile(u"X:\\d\\.hidden"_qs, "h");
    drives.makeFolder(u"X:\\d\\PRG001"_qs);
    QVERIFY(makeReadOnly(u"X:\\d\\MOV001.MOD"_qs));
    QVERIFY(QFile::link(root + u"/d/PRG001"_qs, root + u"/d/toFolder"_qs));
    QVERIFY(QFile::link(root + u"/d/MOV001.MOD"_qs, root + u"/d/toFile"_qs));
    QVERIFY(QFile::link(root + u"/nowhere"_qs, root + u"/d/broken"_qs));
    const Folder d = Folder::open(u"X:\\d"_qs);
    const QList<DirEntry> full = d.list(u"*.*"_qs);
    const QList<DirEntry> kinds = d.list(u"*.*"_qs, nullptr, true);
    QCOMPARE(names(kinds), names(full));
    QCOMPARE(names(full), names(listFolder(u"X:\\d\\*.*"_qs)));
    for (qsizetype i = 0; i < full.size(); ++i) {
        QCOMPARE(kinds[i].isFolder(), full[i].isFolder());
        QCOMPARE(kinds[i].isLink(), full[i].isLink());
    }
    QVERIFY(find(full, u"MOV001.MOD"_qs)->attributes & AttrReadOnly);
    QVERIFY(find(kinds, u".hidden"_qs)->attributes & AttrHidden);
    QCOMPARE(names(d.list(u"*.MOD"_qs, nullptr, true)), QStringList({"MOV001.MOD"}));
}

void TestPlatformWalk::movesAndDeletesEntriesAsPathsDo() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV000.MOD"_qs, "0");
    drives.writeFile(u"X:\\d\\MOV00a.MOD"_qs, "a");
    drives.writeFile(u"X:\\d\\MOV001.MOI"_qs, "i");
    drives.writeFile(u"X:\\d\\MOV002.MOI"_qs, "r");
    drives.writeFile(u"X:\\target\\MOV003.MOD"_qs, "t");
    drives.makeFolder(u"X:\\d\\PRG001"_qs);
    drives.makeFolder(u"X:\\d\\PRG0001"_qs);
    QVERIFY(makeReadOnly(u"X:\\d\\MOV002.MOI"_qs));
    QVERIFY(QFile::link(root + u"/target/MOV003.MOD"_qs, root + u"/d/MOV003.MOD"_qs));
    QVERIFY(QFile::link(root + u"/target"_qs, root + u"/d/PRG002"_qs));
    Folder d = Folder::open(u"X:\\d"_qs);
    QCOMPARE(d.moveEntry(u"MOV000.MOD"_qs, u"MOV0000.MPG"_qs), 0);
    QCOMPARE(d.moveEntry(u"MOV00a.MOD"_qs, u"MOV0000.MPG"_qs), int(ErrAlreadyExists));
    QCOMPARE(d.moveEntry(u"PRG001"_qs, u"PRG0001"_qs), int(ErrAlreadyExists));
    QCOMPARE(d.moveEntry(u"MOV003.MOD"_qs, u"MOV0003.MPG"_qs), 0);
    QCOMPARE(d.moveEntry(u"gone.MOD"_qs, u"gone.MPG"_qs), int(ErrFileNotFound));
    QCOMPARE(d.moveEntry(u"PRG001"_qs, u"PRG001"_qs), 0);
    QCOMPARE(d.deleteEntry(u"MOV001.MOI"_qs), 0);
    QCOMPARE(d.deleteEntry(u"MOV002.MOI"_qs), int(ErrAccessDenied));
    QCOMPARE(d.deleteEntry(u"PRG001"_qs), int(ErrAccessDenied));
    QCOMPARE(d.deleteEntry(u"PRG002"_qs), int(ErrAccessDenied));
    QCOMPARE(d.deleteEntry(u"MOV0003.MPG"_qs), 0);
    QCOMPARE(d.deleteEntry(u"gone.MOI"_qs), int(ErrFileNotFound));
    {
        RefuseNoReplace refused;
        QCOMPARE(d.moveEntry(u"MOV00a.MOD"_qs, u"MOV0000.MPG"_qs), int(ErrAlreadyExists));
        QCOMPARE(d.moveEntry(u"PRG001"_qs, u"PRG0001"_qs), int(ErrAlreadyExists));
        QCOMPARE(d.moveEntry(u"PRG001"_qs, u"PRG0009"_qs), 0);
    }
    QCOMPARE(names(d.list(u"*.*"_qs)), QStringList({".", "..", "MOV0000.MPG", "MOV002.MOI",
                                                    "MOV00a.MOD", "PRG0001", "PRG0009", "PRG002"}));
    QCOMPARE(drives.readFile(u"X:\\d\\MOV0000.MPG"_qs), QByteArray("0"));
    QCOMPARE(drives.readFile(u"X:\\d\\MOV00a.MOD"_qs), QByteArray("a"));
    QCOMPARE(drives.readFile(u"X:\\target\\MOV003.MOD"_qs), QByteArray("t"));
}

void TestPlatformWalk::refusesNamesThatAreNoEntryNames() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\sub\\MOV001.MOD"_qs, "m");
    hostWrite(root + u"/d/a\\b.MOI"_qs, "odd");
    Folder d = Folder::open(u"X:\\d"_qs);
    QCOMPARE(d.moveEntry(u"sub/MOV001.MOD"_qs, u"MOV0001.MPG"_qs), int(ErrInvalidName));
    QCOMPARE(d.moveEntry(u"sub\\MOV001.MOD"_qs, u"MOV0001.MPG"_qs), int(ErrInvalidName));
    QCOMPARE(d.moveEntry(u"sub"_qs, u"../sub"_qs), int(ErrInvalidName));
    QCOMPARE(d.moveEntry(u"sub"_qs, QString()), int(ErrInvalidName));
    QCOMPARE(d.moveEntry(u".."_qs, u"up"_qs), int(ErrInvalidName));
    QCOMPARE(d.deleteEntry(u"a\\b.MOI"_qs), int(ErrInvalidName));
    QCOMPARE(d.deleteEntry(u"sub/MOV001.MOD"_qs), int(ErrInvalidName));
    QCOMPARE(hostRead(root + u"/d/a\\b.MOI"_qs), QByteArray("odd"));
    QCOMPARE(drives.readFile(u"X:\\d\\sub\\MOV001.MOD"_qs), QByteArray("m"));
}

void TestPlatformWalk::worksInAFolderThatMayNotBeRead() {
    TempDrives drives;
    const QString root = drives.addDrive(u'x');
    drives.writeFile(u"X:\\d\\MOV001.MOD"_qs, "m");
    const QByteArray locked = QFile::encodeName(root + u"/d"_qs);
    QCOMPARE(::chmod(locked.constData(), 0300), 0);
    int listError = 0, moved = -1;
    {
        NoDacOverride bound;
        if (bound.active()) {
            Folder d = Folder::open(u"X:\\d"_qs);
            QVERIFY(d.isOpen());
            QVERIFY(d.list(u"*.*"_qs, &listError).isEmpty());
            moved = d.moveEntry(u"MOV001.MOD"_qs, u"MOV0001.MPG"_qs);
        }
    }
    ::chmod(locked.constData(), 0755);
    if (moved == -1)
        QSKIP("permission bits cannot be made to bind here");
    QCOMPARE(listError, int(ErrAccessDenied));
    QCOMPARE(moved, 0);
    QCOMPARE(drives.readFile(u"X:\\d\\MOV0001.MPG"_qs), QByteArray("m"));
}

void TestPlatformWalk::keepsWorkingInAMovedFolder() {
    TempDrives drives;
    drives.addDrive(u'x');
    drives.writeFile(u"X:\\PRG001\\MOV001.MOD"_qs, "m");
    Folder folder = Folder::open(u"X:\\PRG001"_qs);
    QCOMPARE(moveFile(u"X:\\PRG001"_qs, u"X:\\PRG0001"_qs), 0);
    QCOMPARE(names(folder.list(u"*.*"_qs, nullptr, true)), QStringList({".", "..", "MOV001.MOD"}));
    QCOMPARE(folder.moveEntry(u"MOV001.MOD"_qs, u"MOV0001.MPG"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\PRG0001\\MOV0001.MPG"_qs), QByteArray("m"));
    // Moved away, the handle keeps it; a new folder under the old name is
    // another folder.
    Folder moved = std::move(folder);
    QVERIFY(!folder.isOpen());
    QVERIFY(moved.isOpen());
}

void TestPlatformWalk::reachesBeyondTheHostPathLimit() {
    TempDrives drives;
    drives.addDrive(u'x');
    const QString top = drives.makeFolder(u"X:\\top"_qs);
    // 30 levels of 200 bytes: some 6,000 bytes, past the host's 4,096-byte
    // limit on paths; built (and removed) folder by folder.
    const QString level(200, u'p');
    const QByteArray levelName = level.toUtf8();
    std::vector<int> fds{::open(QFile::encodeName(top).constData(), O_PATH | O_DIRECTORY)};
    for (int i = 0; i < 30; ++i) {
        QCOMPARE(::mkdirat(fds.back(), levelName.constData(), 0755), 0);
        fds.push_back(::openat(fds.back(), levelName.constData(), O_PATH | O_DIRECTORY));
        QVERIFY(fds.back() >= 0);
    }
    for (const char* name : {"MOV001.MOD", "MOV001.MOI"})
        ::close(::openat(fds.back(), name, O_WRONLY | O_CREAT, 0644));

    Folder folder = Folder::open(u"X:\\top"_qs);
    for (int i = 0; i < 30 && folder.isOpen(); ++i)
        folder = folder.openSubfolder(level);
    QVERIFY(folder.isOpen());
    QCOMPARE(names(folder.list(u"*.*"_qs)), QStringList({".", "..", "MOV001.MOD", "MOV001.MOI"}));
    QCOMPARE(folder.moveEntry(u"MOV001.MOD"_qs, u"MOV0001.MPG"_qs), 0);
    QCOMPARE(folder.deleteEntry(u"MOV001.MOI"_qs), 0);
    QCOMPARE(names(folder.list(u"*.*"_qs, nullptr, true)), QStringList({".", "..", "MOV0001.MPG"}));

    struct stat st;
    const bool renamed = ::fstatat(fds.back(), "MOV0001.MPG", &st, 0) == 0;
    ::unlinkat(fds.back(), "MOV0001.MPG", 0);
    for (size_t i = fds.size() - 1; i > 0; --i) {
        ::close(fds[i]);
        ::unlinkat(fds[i - 1], levelName.constData(), AT_REMOVEDIR);
    }
    ::close(fds[0]);
    QVERIFY(renamed);
}

QTEST_GUILESS_MAIN(TestPlatformWalk)
#include "tst_platformwalk.moc"
