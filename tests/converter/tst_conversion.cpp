#include "CardStreams.h"
#include "CardTree.h"
#include "support/NoDacOverride.h"
#include "support/TempDrives.h"
#include "converter/Conversion.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WorkingFolder.h"

#include <QtTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Nested = u"Il ne doit pas y avoir de sous répertoires emboités"_qs;

// A card on drive X: (host folder root()), written file by file with bytes of
// its own, converted, and compared before and after.
class Card {
public:
    Card() { m_root = m_drives.addDrive(u'x'); }

    TempDrives& drives() { return m_drives; }
    const QString& root() const { return m_root; }

    // Writes a file whose bytes tell it from every other one.
    void put(const QString& winPath) {
        m_drives.writeFile(winPath, "bytes of " + winPath.toUtf8() + '\n' + QByteArray(100, 'x'));
    }
    void folder(const QString& winPath) { m_drives.makeFolder(winPath); }
    QString host(const QString& relative) const { return m_root + u'/' + relative; }

    // Converts folder; returns the messages shown.
    QStringList convert(const QString& folder, const strovan::ConversionHooks& hooks = {}) {
        m_before = CardTree::scan(m_root);
        QStringList notices;
        m_report = strovan::ConvertFolder(
            folder, [&notices](const QString& m) { notices << m; }, hooks);
        m_after = CardTree::scan(m_root);
        return notices;
    }
    QStringList paths() const { return m_after.paths(); }
    // Files lost by the last conversion, index files aside.
    QString lost() const { return CardTree::lost(m_before, m_after); }
    const CardTree& after() const { return m_after; }
    const strovan::ConversionReport& report() const { return m_report; }
    QDateTime modified(const QString& relative) const {
        return QFileInfo(host(relative)).lastModified();
    }

private:
    strovan::ConversionReport m_report;
    TempDrives m_drives;
    QString m_root;
    CardTree m_before, m_after;
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

private slots:
    void convertsARecordingFolder();
    void treatsSixCharacterFoldersAsRecordingFolders();
    void processesAConvertedFolderAgain();
    void decidesFileKindsOnTheExactExtension();
    void convertsTopLevelFiles();
    void secondRunChangesNothing();
    void reportsNestedFoldersAndGoesOn();
    void keepsAFolderBesideItsConvertedTwin();
    void keepsCollidingClips();
    void handlesAccentsAndOtherAlphabets();
    void leavesAReadOnlyIndexFile();
    void leavesAnUnreadableRecordingFolder();
    void convertsNothingInAVanishedFolder();
    void convertsASelectedRecordingFolder();
    void survivesFilesVanishingDuringTheWalk();
    void neverTouchesNamesHoldingABackslash();
    void processesEveryEntryOfADriveRoot();
    void neverFollowsLinksToFolders();
    void renamesAndDeletesFileLinksThemselves();
    void convertsDeepPaths();
    void ignoresTheWorkingFolder();
    void keepsHiddenAndOddNames();

    void keepsWhatTheIndexKnows_data();
    void keepsWhatTheIndexKnows();
    void keepsTheIndexOfAClipItCannotFix_data();
    void keepsTheIndexOfAClipItCannotFix();
    void stoppedThenRunAgain();
    void reportsWhatFailed();
};

void TestConversion::convertsARecordingFolder() {
    Card card;
    for (const char* name : {"MOV001.MOD", "MOV001.MOI", "MOV00A.MOD", "MOV00A.MOI", "PRG001.PGI"})
        card.put(u"X:\\card\\PRG001\\"_qs + QLatin1String(name));
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                                   "card/PRG0001/MOV0010.MPG"}));
    QVERIFY(card.after()
                .file(u"card/PRG0001/MOV0010.MPG"_qs)
                .startsWith("bytes of X:\\card\\PRG001\\MOV00A.MOD\n"));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::treatsSixCharacterFoldersAsRecordingFolders() {
    Card card;
    card.put(u"X:\\card\\ABCDEF\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\Photos\\MOV002.MOD"_qs);
    card.put(u"X:\\card\\Photos\\MOV002.PGI"_qs);
    card.put(u"X:\\card\\MGR_INFO\\MOV003.MOD"_qs);
    card.put(u"X:\\card\\MGR_INFO\\MOV003.MOI"_qs);
    card.put(u"X:\\card\\PRGLONGNAME\\MOV004.MOD"_qs); // begins with PRG
    card.put(u"X:\\card\\prg005\\MOV005.MOD"_qs);      // 6 characters
    card.put(u"X:\\card\\prgfolder\\MOV006.MOD"_qs);   // neither
    card.put(u"X:\\card\\ABCDE\\MOV007.MOD"_qs);       // 5 characters
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(),
             sorted({"card/", "card/ABC3567/", "card/ABC3567/MOV0001.MPG", "card/Pho0000/",
                     "card/Pho0000/MOV0002.MPG", "card/MGR_INFO/", "card/MGR_INFO/MOV003.MOD",
                     "card/MGR_INFO/MOV003.MOI", "card/PRG0000/", "card/PRG0000/MOV0004.MPG",
                     "card/prg0005/", "card/prg0005/MOV0005.MPG", "card/prgfolder/",
                     "card/prgfolder/MOV006.MOD", "card/ABCDE/", "card/ABCDE/MOV007.MOD"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::processesAConvertedFolderAgain() {
    Card card;
    card.put(u"X:\\card\\PRG0001\\MOV0001.MPG"_qs);
    card.put(u"X:\\card\\PRG0001\\MOV002.MOD"_qs);
    card.put(u"X:\\card\\PRG0001\\MOV002.MOI"_qs);
    card.put(u"X:\\card\\PRG0001\\PRG001.PGI"_qs);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                                   "card/PRG0001/MOV0002.MPG"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::decidesFileKindsOnTheExactExtension() {
    Card card;
    const QStringList kept = {"MOV001.mod", "MOV002.moi", "MOV003.pgi", "MOV004.MODX",
                              "MOV005.MPG", "MOV006",     "MOV007.MO",  "MOV008.MOD.BAK",
                              "MOV009.Mod", "MOV010.PG",  "README.TXT", "MOV011.MOI.txt"};
    const QStringList deleted = {"MOV001.MOIX", "MOV002.PGIX", "X.MOIX", "MOV003.MOI",
                                 "MOV004.PGI",  "A.B.MOI",     ".MOI",   "MOV005.txt.PGI"};
    for (const QString& name : kept + deleted)
        card.put(u"X:\\card\\PRG001\\"_qs + name);
    card.put(u"X:\\card\\PRG001\\MOV012.MOD"_qs);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QStringList expected = {"card/", "card/PRG0001/", "card/PRG0001/MOV0018.MPG"};
    for (const QString& name : kept)
        expected << u"card/PRG0001/"_qs + name;
    QCOMPARE(card.paths(), sorted(expected));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::convertsTopLevelFiles() {
    Card card;
    card.put(u"X:\\card\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\MOV001.MOI"_qs);
    card.put(u"X:\\card\\MOV002.mod"_qs);
    card.put(u"X:\\card\\PRG001"_qs); // a file, not a folder: no recording folder
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/MOV0001.MPG", "card/MOV002.mod", "card/PRG001"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::secondRunChangesNothing() {
    Card card;
    for (const char* name :
         {"PRG001\\MOV001.MOD", "PRG001\\MOV001.MOI", "PRG00F\\MOV0FF.MOD", "PRG00F\\PRG00F.PGI",
          "MOV003.MOD", "Photos\\MOV004.MOD", "MGR_INFO\\MOV005.MOD", "PRG0001\\MOV006.MOD"})
        card.put(u"X:\\card\\"_qs + QLatin1String(name));
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    const QStringList once = card.paths();
    const CardTree first = card.after();
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), once);
    QCOMPARE(CardTree::lost(first, card.after()), QString());
    QCOMPARE(card.lost(), QString());
    QVERIFY(once.contains(u"card/PRG0015/MOV0255.MPG"_qs));
    QVERIFY(once.contains(u"card/MGR_INFO/MOV005.MOD"_qs));
}

void TestConversion::reportsNestedFoldersAndGoesOn() {
    Card card;
    // Within a folder the walk goes in name order: A... before the subfolder
    // M..., Z... after it.
    card.put(u"X:\\card\\PRG001\\AAA001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\AAA001.MOI"_qs);
    card.put(u"X:\\card\\PRG001\\MIDDLE\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\ZZZ001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\ZZZ001.MOI"_qs);
    card.folder(u"X:\\card\\PRG002\\empty"_qs);
    card.put(u"X:\\card\\PRG003\\MOV003.MOD"_qs);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList({Nested, Nested}));
    QCOMPARE(card.paths(),
             sorted({"card/", "card/PRG0001/", "card/PRG0001/AAA0001.MPG", "card/PRG0001/MIDDLE/",
                     "card/PRG0001/MIDDLE/MOV001.MOD", "card/PRG0001/ZZZ001.MOD",
                     "card/PRG0001/ZZZ001.MOI", "card/PRG0002/", "card/PRG0002/empty/",
                     "card/PRG0003/", "card/PRG0003/MOV0003.MPG"}));
    QCOMPARE(card.lost(), QString());
    // No notice given: the walk still goes on.
    card.put(u"X:\\card\\PRG0001\\ZZZ002.MOD"_qs);
    strovan::ConvertFolder(u"X:\\card"_qs, {});
    QVERIFY(QFile::exists(card.host(u"card/PRG0001/ZZZ002.MOD"_qs)));
}

void TestConversion::keepsAFolderBesideItsConvertedTwin() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\MOV001.MOI"_qs);
    card.put(u"X:\\card\\PRG0001\\MOV002.MOD"_qs);
    card.put(u"X:\\card\\PRG0001\\MOV002.MOI"_qs);
    // A file in the way of the folder's new name.
    card.put(u"X:\\card\\PRG002\\MOV003.MOD"_qs);
    card.put(u"X:\\card\\PRG0002"_qs);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(),
             sorted({"card/", "card/PRG001/", "card/PRG001/MOV001.MOD", "card/PRG001/MOV001.MOI",
                     "card/PRG0001/", "card/PRG0001/MOV0002.MPG", "card/PRG002/",
                     "card/PRG002/MOV003.MOD", "card/PRG0002"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::keepsCollidingClips() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV000.MOD"_qs); // -> MOV0000.MPG
    card.put(u"X:\\card\\PRG001\\MOV00a.MOD"_qs); // -> MOV0000.MPG as well
    card.put(u"X:\\card\\PRG001\\MOV00G.MOD"_qs); // -> MOV0000.MPG as well
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\MOV0001.MPG"_qs); // already there
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0000.MPG",
                                   "card/PRG0001/MOV00a.MOD", "card/PRG0001/MOV00G.MOD",
                                   "card/PRG0001/MOV001.MOD", "card/PRG0001/MOV0001.MPG"}));
    QVERIFY(card.after()
                .file(u"card/PRG0001/MOV0000.MPG"_qs)
                .startsWith("bytes of X:\\card\\PRG001\\MOV000.MOD\n"));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::handlesAccentsAndOtherAlphabets() {
    Card card;
    card.put(u"X:\\Vidéos d'été\\Vidéos\\ÉTÉ00A.MOD"_qs);
    card.put(u"X:\\Vidéos d'été\\Vidéos\\ÉTÉ00A.MOI"_qs);
    card.put(u"X:\\Vidéos d'été\\Фото01\\видео1.MOD"_qs);
    card.put(u"X:\\Vidéos d'été\\PRG片\\视频片00B.MOD"_qs);
    card.put(u"X:\\Vidéos d'été\\Vidéo01\\MOV001.MOD"_qs); // 7 characters: no recording folder
    QCOMPARE(card.convert(u"X:\\Vidéos d'été"_qs), QStringList());
    QCOMPARE(card.paths(),
             sorted({u"Vidéos d'été/"_qs, u"Vidéos d'été/Vid0000/"_qs,
                     u"Vidéos d'été/Vid0000/ÉTÉ0010.MPG"_qs, u"Vidéos d'été/Фот0001/"_qs,
                     u"Vidéos d'été/Фот0001/вид0001.MPG"_qs, u"Vidéos d'été/PRG0000/"_qs,
                     u"Vidéos d'été/PRG0000/视频片0011.MPG"_qs, u"Vidéos d'été/Vidéo01/"_qs,
                     u"Vidéos d'été/Vidéo01/MOV001.MOD"_qs}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::leavesAReadOnlyIndexFile() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\MOV001.MOI"_qs);
    card.put(u"X:\\card\\PRG001\\MOV002.MOI"_qs);
    card.put(u"X:\\card\\PRG001\\PRG001.PGI"_qs);
    // Read-only as the model keeps it: no write permission for anyone.
    QCOMPARE(::chmod(QFile::encodeName(card.host(u"card/PRG001/MOV001.MOI"_qs)).constData(), 0444),
             0);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                                   "card/PRG0001/MOV001.MOI"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::leavesAnUnreadableRecordingFolder() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG002\\MOV002.MOD"_qs);
    card.put(u"X:\\card\\PRG002\\MOV002.MOI"_qs);
    card.put(u"X:\\card\\PRG003\\MOV003.MOD"_qs);
    const QByteArray locked = QFile::encodeName(card.host(u"card/PRG002"_qs));
    QCOMPARE(::chmod(locked.constData(), 0300), 0); // may be renamed, not listed
    QStringList notices;
    {
        NoDacOverride bound;
        if (!bound.active())
            QSKIP("permission bits cannot be made to bind here");
        notices = card.convert(u"X:\\card"_qs);
    }
    ::chmod(QFile::encodeName(card.host(u"card/PRG0002"_qs)).constData(), 0755);
    ::chmod(locked.constData(), 0755);
    QCOMPARE(notices, QStringList());
    const CardTree after = CardTree::scan(card.root());
    QCOMPARE(after.paths(),
             sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG", "card/PRG0002/",
                     "card/PRG0002/MOV002.MOD", "card/PRG0002/MOV002.MOI", "card/PRG0003/",
                     "card/PRG0003/MOV0003.MPG"}));
}

void TestConversion::convertsNothingInAVanishedFolder() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    QCOMPARE(card.convert(u"X:\\gone"_qs), QStringList());
    QCOMPARE(card.convert(u"X:\\card\\gone\\deeper"_qs), QStringList());
    QCOMPARE(card.convert(u"Q:\\card"_qs), QStringList());                     // no such drive
    QCOMPARE(card.convert(u"X:\\card\\PRG001\\MOV001.MOD"_qs), QStringList()); // a file
    QCOMPARE(card.convert(QString()), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG001/", "card/PRG001/MOV001.MOD"}));
    // A drive whose medium is gone.
    card.drives().addBrokenDrive(u'r');
    QCOMPARE(card.convert(u"R:\\"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG001/", "card/PRG001/MOV001.MOD"}));
}

void TestConversion::convertsASelectedRecordingFolder() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\MOV001.MOI"_qs);
    card.put(u"X:\\card\\PRG001\\PRG001.PGI"_qs);
    QCOMPARE(card.convert(u"X:\\card\\PRG001"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG001/", "card/PRG001/MOV0001.MPG"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::survivesFilesVanishingDuringTheWalk() {
    Card card;
    card.folder(u"X:\\card\\PRG001\\nested"_qs); // its message is the moment to interfere
    card.put(u"X:\\card\\PRG002\\MOV002.MOD"_qs);
    card.put(u"X:\\card\\PRG003\\MOV003.MOD"_qs);
    card.put(u"X:\\card\\ZZZ001.MOD"_qs);
    card.put(u"X:\\card\\ZZZ001.MOI"_qs);
    card.put(u"X:\\card\\ZZZ002.MOD"_qs);
    QStringList notices;
    strovan::ConvertFolder(u"X:\\card"_qs, [&](const QString& message) {
        notices << message;
        // Listed already, gone before their turn; one moved away, one renamed
        // under its converted name by someone else.
        QDir(card.host(u"card/PRG002"_qs)).removeRecursively();
        QFile::remove(card.host(u"card/ZZZ001.MOD"_qs));
        QFile::remove(card.host(u"card/ZZZ001.MOI"_qs));
        QFile::rename(card.host(u"card/ZZZ002.MOD"_qs), card.host(u"card/ZZZ0002.MPG"_qs));
    });
    QCOMPARE(notices, QStringList{Nested});
    QCOMPARE(CardTree::scan(card.root()).paths(),
             sorted({"card/", "card/PRG0001/", "card/PRG0001/nested/", "card/PRG0003/",
                     "card/PRG0003/MOV0003.MPG", "card/ZZZ0002.MPG"}));
}

void TestConversion::neverTouchesNamesHoldingABackslash() {
    Card card;
    // Host names that no Windows path can reach; each one reads as a path
    // that leads somewhere else (or nowhere) on Windows.
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    const QStringList odd = {u"card/PRG001\\MOV001.MOD"_qs, u"card/PRG001\\MOV002.MOI"_qs,
                             u"card/MOV\\03.MOD"_qs, u"card/PRG001/MOV\\04.MOD"_qs,
                             u"card/PRG001/a\\b.MOI"_qs};
    for (const QString& name : odd) {
        QFile file(card.host(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name.toUtf8());
    }
    QDir().mkpath(card.host(u"card/PRG\\002"_qs));
    QFile inFolder(card.host(u"card/PRG\\002/MOV005.MOD"_qs));
    QVERIFY(inFolder.open(QIODevice::WriteOnly));
    inFolder.close();
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QStringList expected = {"card/",
                            "card/PRG0001/",
                            "card/PRG0001/MOV0001.MPG",
                            u"card/PRG\\002/"_qs,
                            u"card/PRG\\002/MOV005.MOD"_qs,
                            u"card/PRG001\\MOV001.MOD"_qs,
                            u"card/PRG001\\MOV002.MOI"_qs,
                            u"card/MOV\\03.MOD"_qs,
                            u"card/PRG0001/MOV\\04.MOD"_qs,
                            u"card/PRG0001/a\\b.MOI"_qs};
    QCOMPARE(card.paths(), sorted(expected));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::processesEveryEntryOfADriveRoot() {
    Card card;
    // The first entry of a root, where no "." and ".." come first.
    card.put(u"X:\\AAA001.MOD"_qs);
    card.put(u"X:\\AAA001.MOI"_qs);
    card.put(u"X:\\PRG001\\MOV001.MOD"_qs);
    QCOMPARE(card.convert(u"X:\\"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"AAA0001.MPG", "PRG0001/", "PRG0001/MOV0001.MPG"}));
    QCOMPARE(card.lost(), QString());
    // A folder whose first entry is the only one.
    card.put(u"X:\\one\\AAA002.MOD"_qs);
    QCOMPARE(card.convert(u"X:\\one"_qs), QStringList());
    QVERIFY(card.paths().contains(u"one/AAA0002.MPG"_qs));
    // A root written with a doubled backslash is the same root.
    card.put(u"X:\\AAA003.MOD"_qs);
    QCOMPARE(card.convert(u"X:\\\\"_qs), QStringList());
    QVERIFY(card.paths().contains(u"AAA0003.MPG"_qs));
}

void TestConversion::neverFollowsLinksToFolders() {
    Card card;
    card.put(u"X:\\outside\\PRG009\\MOV009.MOD"_qs);
    card.put(u"X:\\outside\\PRG009\\MOV009.MOI"_qs);
    card.put(u"X:\\outside\\MOV008.MOD"_qs);
    card.put(u"X:\\outside\\MOV008.MOI"_qs);
    card.put(u"X:\\card\\PRG003\\MOV003.MOD"_qs);
    card.put(u"X:\\card\\PRG004\\MOV004.MOD"_qs);
    card.put(u"X:\\card\\PRG004\\MOV004.MOI"_qs);
    const QString outside = card.host(u"outside"_qs);
    // A link that looks like a recording folder; a link in the way of a
    // folder's new name; a link inside a recording folder.
    QVERIFY(QFile::link(outside, card.host(u"card/PRG001"_qs)));
    QVERIFY(QFile::link(outside + u"/PRG009"_qs, card.host(u"card/PRG002"_qs)));
    QVERIFY(QFile::link(outside, card.host(u"card/PRG0003"_qs)));
    QVERIFY(QFile::link(outside, card.host(u"card/PRG004/MOV004.ZZZ"_qs)));
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList{Nested});
    QCOMPARE(
        card.paths(),
        sorted({"card/", u"card/PRG001 -> "_qs + outside,
                u"card/PRG002 -> "_qs + outside + u"/PRG009"_qs, u"card/PRG0003 -> "_qs + outside,
                "card/PRG003/", "card/PRG003/MOV003.MOD", "card/PRG0004/",
                "card/PRG0004/MOV0004.MPG", u"card/PRG0004/MOV004.ZZZ -> "_qs + outside, "outside/",
                "outside/MOV008.MOD", "outside/MOV008.MOI", "outside/PRG009/",
                "outside/PRG009/MOV009.MOD", "outside/PRG009/MOV009.MOI"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::renamesAndDeletesFileLinksThemselves() {
    Card card;
    card.put(u"X:\\outside\\target.MOD"_qs);
    card.put(u"X:\\outside\\target.MOI"_qs);
    const QString outside = card.host(u"outside"_qs);
    card.folder(u"X:\\card\\PRG001"_qs);
    QVERIFY(QFile::link(outside + u"/target.MOD"_qs, card.host(u"card/PRG001/MOV001.MOD"_qs)));
    QVERIFY(QFile::link(outside + u"/target.MOI"_qs, card.host(u"card/PRG001/MOV001.MOI"_qs)));
    QVERIFY(QFile::link(outside + u"/none.MOD"_qs, card.host(u"card/PRG001/MOV002.MOD"_qs)));
    QVERIFY(QFile::link(outside + u"/target.MOD"_qs, card.host(u"card/MOV003.MOD"_qs)));
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/",
                                   u"card/PRG0001/MOV0001.MPG -> "_qs + outside + u"/target.MOD"_qs,
                                   u"card/PRG0001/MOV0002.MPG -> "_qs + outside + u"/none.MOD"_qs,
                                   u"card/MOV0003.MPG -> "_qs + outside + u"/target.MOD"_qs,
                                   "outside/", "outside/target.MOD", "outside/target.MOI"}));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::convertsDeepPaths() {
    Card card;
    // Some 700 characters (well over 255) before the recording folder,
    // accented letters taking two bytes each on the host.
    QString deep = u"X:"_qs;
    for (int level = 0; level < 7; ++level)
        deep += u'\\' + QString(99, QChar(level % 2 ? u'é' : u'd'));
    QVERIFY(deep.size() > 700);
    card.put(deep + u"\\PRG001\\MOV001.MOD"_qs);
    card.put(deep + u"\\PRG001\\MOV001.MOI"_qs);
    card.put(deep + u"\\ABC001.MOD"_qs);
    QCOMPARE(card.convert(deep), QStringList());
    const QString relative = deep.mid(3).replace(u'\\', u'/');
    QVERIFY(card.paths().contains(relative + u"/PRG0001/MOV0001.MPG"_qs));
    QVERIFY(card.paths().contains(relative + u"/ABC0001.MPG"_qs));
    QVERIFY(!card.paths().contains(relative + u"/PRG0001/MOV001.MOI"_qs));
    QCOMPARE(card.lost(), QString());
}

void TestConversion::ignoresTheWorkingFolder() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\work\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\work\\MOV002.MOD"_qs);
    platform::setCurrentFolder(u"X:\\work"_qs);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(platform::currentFolder(), u"X:\\work"_qs);
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG", "work/",
                                   "work/PRG001/", "work/PRG001/MOV001.MOD", "work/MOV002.MOD"}));
    // A relative folder would depend on the working folder: nothing is done.
    QCOMPARE(card.convert(u"."_qs), QStringList());
    QCOMPARE(card.convert(u"X:"_qs), QStringList());
    QCOMPARE(card.convert(u"\\work"_qs), QStringList());
    QVERIFY(card.paths().contains(u"work/MOV002.MOD"_qs));
}

void TestConversion::keepsHiddenAndOddNames() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\MOV001.MOI"_qs);
    card.put(u"X:\\card\\PRG001\\MOV002.MOI"_qs);
    // Hidden and system, where the file system keeps them: whatever its
    // attributes, an entry is converted.
    platform::setFileAttributes(u"X:\\card\\PRG001\\MOV001.MOD"_qs, platform::AttrHidden);
    platform::setFileAttributes(u"X:\\card\\PRG001\\MOV002.MOI"_qs,
                                platform::AttrHidden | platform::AttrSystem);
    card.put(u"X:\\card\\.hidden\\MOV003.MOD"_qs); // 7 characters, no PRG
    card.put(u"X:\\card\\PRG001\\.MOI"_qs);
    // A host name that is no valid UTF-8 cannot be named: left as it is.
    const QByteArray invalid = QFile::encodeName(card.host(u"card/PRG001/"_qs)) + "MOV\xff"
                                                                                  "01.MOD";
    {
        FILE* f = ::fopen(invalid.constData(), "w");
        QVERIFY(f);
        ::fputs("invalid name", f);
        ::fclose(f);
    }
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QVERIFY(card.paths().contains(u"card/PRG0001/MOV0001.MPG"_qs));
    QVERIFY(!card.paths().contains(u"card/PRG0001/MOV001.MOI"_qs));
    QVERIFY(!card.paths().contains(u"card/PRG0001/MOV002.MOI"_qs));
    QVERIFY(!card.paths().contains(u"card/PRG0001/.MOI"_qs));
    QVERIFY(card.paths().contains(u"card/.hidden/MOV003.MOD"_qs));
    QCOMPARE(card.lost(), QString());
    // Qt could not remove it with the temporary folder.
    const QByteArray moved = QFile::encodeName(card.host(u"card/PRG0001/"_qs)) + "MOV\xff"
                                                                                 "01.MOD";
    QCOMPARE(::unlink(moved.constData()), 0);
}

namespace {

const QDateTime Recorded(QDate(2006, 7, 14), QTime(15, 30, 45, 250), Qt::LocalTime);

QByteArray WideIndex() {
    return MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x54);
}

QList<qint64> Differences(const QByteArray& a, const QByteArray& b) {
    QList<qint64> at;
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            at << i;
    return at;
}

} // namespace

void TestConversion::keepsWhatTheIndexKnows_data() {
    QTest::addColumn<int>("streamShape");
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<bool>("widened");
    QTest::addColumn<bool>("dated");
    QTest::newRow("16:9 over 4:3") << 2 << WideIndex() << true << true;
    QTest::newRow("already 16:9") << 3 << WideIndex() << false << true;
    QTest::newRow("4:3 in the index")
        << 2 << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x50) << false << true;
    QTest::newRow("unknown shape")
        << 2 << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x53) << false << true;
    QTest::newRow("short index") << 2 << WideIndex().left(0x80) << false << false;
    QTest::newRow("not an index") << 2 << QByteArray("Index du clip") << false << false;
    QTest::newRow("invalid date") << 2 << MakeClipIndex(2006, 13, 14, 15, 30, 0, 0x54) << true
                                  << false;
}

void TestConversion::keepsWhatTheIndexKnows() {
    QFETCH(int, streamShape);
    QFETCH(QByteArray, index);
    QFETCH(bool, widened);
    QFETCH(bool, dated);
    StreamShape shape;
    shape.shape = streamShape;
    const TestStream stream = MakeProgramStream(shape);
    Card card;
    card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOD"_qs, stream.bytes);
    card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOI"_qs, index);
    // An index file without its clip goes as before, whatever it says.
    card.drives().writeFile(u"X:\\card\\PRG001\\MOV002.MOI"_qs, WideIndex());
    card.put(u"X:\\card\\PRG001\\PRG001.PGI"_qs);
    QCOMPARE(card.convert(u"X:\\card"_qs), QStringList());
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG"}));
    const QByteArray after = card.after().file(u"card/PRG0001/MOV0001.MPG"_qs);
    QCOMPARE(Differences(stream.bytes, after), widened ? stream.shapeBytes : QList<qint64>());
    QCOMPARE(after.size(), stream.bytes.size());
    QCOMPARE(card.modified(u"card/PRG0001/MOV0001.MPG"_qs) == Recorded, dated);
    const strovan::ConversionReport& report = card.report();
    QCOMPARE(report.foldersRenamed, 1);
    QCOMPARE(report.clipsRenamed, 1);
    QCOMPARE(report.indexesDeleted, 3);
    QCOMPARE(report.clipsWidened, widened ? 1 : 0);
    QCOMPARE(report.datesRestored, dated ? 1 : 0);
    QVERIFY(report.failures.isEmpty());
}

void TestConversion::keepsTheIndexOfAClipItCannotFix_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("code");
    QTest::newRow("read-only") << true << int(platform::ErrAccessDenied);
    QTest::newRow("in use") << false << int(platform::ErrSharingViolation);
    QTest::newRow("no program stream") << false << strovan::ErrNotProgramStream;
}

void TestConversion::keepsTheIndexOfAClipItCannotFix() {
    QFETCH(bool, readOnly);
    QFETCH(int, code);
    const bool bare = code == strovan::ErrNotProgramStream;
    // A bare elementary stream is left as it is: its headers are no program's.
    const TestStream stream = bare ? VideoStream() : MakeProgramStream();
    Card card;
    const QString clip = card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOD"_qs, stream.bytes);
    card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOI"_qs, WideIndex());
    NoDacOverride noOverride;
    QVERIFY(noOverride.active());
    QFile other(clip);
    if (readOnly)
        QCOMPARE(::chmod(QFile::encodeName(clip).constData(), 0444), 0);
    else if (!bare)
        QVERIFY(other.open(QIODevice::ReadOnly) && ::flock(other.handle(), LOCK_SH) == 0);
    card.convert(u"X:\\card"_qs);
    // Renamed, untouched, and its index file is still there for the next run.
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                                   "card/PRG0001/MOV001.MOI"}));
    QCOMPARE(card.after().file(u"card/PRG0001/MOV0001.MPG"_qs), stream.bytes);
    QCOMPARE(card.report().failures.size(), 1);
    const strovan::ConversionFailure& failure = card.report().failures.first();
    QCOMPARE(failure.name, u"PRG0001\\MOV0001.MPG"_qs);
    QCOMPARE(failure.code, code);
    QCOMPARE(failure.readOnly, readOnly);
    QCOMPARE(failure.keptIndex, u"MOV001.MOI"_qs);
    QCOMPARE(card.report().indexesDeleted, 0);
}

void TestConversion::stoppedThenRunAgain() {
    const TestStream stream = MakeProgramStream();
    Card card;
    card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOD"_qs, stream.bytes);
    card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOI"_qs, WideIndex());
    card.put(u"X:\\card\\PRG001\\MOV002.MOD"_qs);
    // Stopped in the middle of the clip's headers.
    int asked = 0;
    strovan::ConversionHooks hooks;
    hooks.stop = [&asked] { return ++asked > 6; };
    card.convert(u"X:\\card"_qs, hooks);
    QVERIFY(card.report().stopped);
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                                   "card/PRG0001/MOV001.MOI", "card/PRG0001/MOV002.MOD"}));
    const qsizetype partly =
        Differences(stream.bytes, card.after().file(u"card/PRG0001/MOV0001.MPG"_qs)).size();
    QVERIFY(partly > 0 && partly < stream.shapeBytes.size());
    // Run again: the index file finds its renamed clip, and the job is done.
    card.convert(u"X:\\card"_qs);
    QVERIFY(!card.report().stopped);
    QCOMPARE(card.paths(), sorted({"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                                   "card/PRG0001/MOV0002.MPG"}));
    QCOMPARE(Differences(stream.bytes, card.after().file(u"card/PRG0001/MOV0001.MPG"_qs)),
             stream.shapeBytes);
    QCOMPARE(card.modified(u"card/PRG0001/MOV0001.MPG"_qs), Recorded);
    QCOMPARE(card.report().clipsWidened, 1);
    // Once more: nothing is left to change.
    const QStringList before = card.paths();
    const QByteArray clip = card.after().file(u"card/PRG0001/MOV0001.MPG"_qs);
    card.convert(u"X:\\card"_qs);
    QCOMPARE(card.paths(), before);
    QCOMPARE(card.after().file(u"card/PRG0001/MOV0001.MPG"_qs), clip);
    const strovan::ConversionReport& report = card.report();
    QCOMPARE(report.foldersRenamed + report.clipsRenamed + report.indexesDeleted +
                 report.clipsWidened + report.datesRestored + int(report.failures.size()),
             0);
}

void TestConversion::reportsWhatFailed() {
    Card card;
    card.put(u"X:\\card\\PRG001\\MOV001.MOD"_qs);
    card.put(u"X:\\card\\PRG001\\MOV0001.MPG"_qs); // the new name is taken
    card.put(u"X:\\card\\PRG001\\MOV002.PGI"_qs);
    card.put(u"X:\\card\\PRG002\\MOV003.MOD"_qs);
    card.folder(u"X:\\card\\PRG0002"_qs); // the folder's new name is taken
    QCOMPARE(::chmod(QFile::encodeName(card.host(u"card/PRG001/MOV002.PGI"_qs)).constData(), 0444),
             0);
    card.convert(u"X:\\card"_qs);
    QList<QPair<QString, int>> failures;
    for (const strovan::ConversionFailure& failure : card.report().failures)
        failures << qMakePair(failure.name, failure.code);
    QCOMPARE(failures, (QList<QPair<QString, int>>{
                           {u"PRG0001\\MOV001.MOD"_qs, int(platform::ErrAlreadyExists)},
                           {u"PRG0001\\MOV002.PGI"_qs, int(platform::ErrAccessDenied)},
                           {u"PRG002"_qs, int(platform::ErrAlreadyExists)}}));
    QCOMPARE(card.report().foldersRenamed, 1);
    QCOMPARE(card.report().clipsRenamed, 0);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
