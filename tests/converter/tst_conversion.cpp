#include "CardStreams.h"
#include "CardTree.h"
#include "support/NoDacOverride.h"
#include "support/TempDrives.h"
#include "converter/Conversion.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FileUpdate.h"
#include "platform/WorkingFolder.h"

#include <QtTest>

#include <optional>
#include <utility>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Nested = u"Il ne doit pas y avoir de sous répertoires emboités"_qs;

// A card on drive X: (host folder root()), written file by file with bytes of
// its own, converted, and compared before and after. Drive R: is a reader
// without its medium.
class Card {
public:
    Card() {
        m_root = m_drives.addDrive(u'x');
        m_drives.addBrokenDrive(u'r');
    }

    TempDrives& drives() { return m_drives; }
    const QString& root() const { return m_root; }

    // Writes a file whose bytes tell it from every other one.
    void put(const QString& winPath) {
        m_drives.writeFile(winPath, "bytes of " + winPath.toUtf8() + '\n' + QByteArray(100, 'x'));
    }
    void folder(const QString& winPath) { m_drives.makeFolder(winPath); }
    QString host(const QString& relative) const { return m_root + u'/' + relative; }

    // Lays out entries by their host paths below the root, so that names no
    // Windows path reaches can be written too: "a/" is a folder, "a -> b" a
    // link to b, "!a" a read-only file, anything else a file whose bytes
    // tell it from every other one ("bytes of a").
    void lay(const QStringList& entries) {
        for (QString entry : entries) {
            const bool readOnly = entry.startsWith(u'!');
            if (readOnly)
                entry.remove(0, 1);
            const qsizetype arrow = entry.indexOf(u" -> "_qs);
            const QString path = host(arrow < 0 ? entry : entry.left(arrow));
            const bool isFolder = arrow < 0 && entry.endsWith(u'/');
            QVERIFY(QDir().mkpath(isFolder ? path : path.left(path.lastIndexOf(u'/'))));
            if (arrow >= 0) {
                QVERIFY(QFile::link(entry.mid(arrow + 4), path));
            } else if (!isFolder) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("bytes of " + entry.toUtf8() + '\n' + QByteArray(100, 'x'));
                file.close();
                if (readOnly)
                    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0444), 0);
            }
        }
    }

    // Converts folder; returns the messages shown (none asked for unless told).
    QStringList convert(const QString& folder, const strovan::ConversionHooks& hooks = {},
                        bool told = true) {
        m_before = CardTree::scan(m_root);
        QStringList notices;
        strovan::ConversionNotice notice;
        if (told)
            notice = [&notices](const QString& m) { notices << m; };
        m_report = strovan::ConvertFolder(folder, notice, hooks);
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
    void convertsACard_data();
    void convertsACard();
    void leavesAnUnreadableRecordingFolder();
    void survivesFilesVanishingDuringTheWalk();
    void convertsDeepPaths();
    void ignoresTheWorkingFolder();
    void keepsHiddenAndOddNames();

    void keepsWhatTheIndexKnows_data();
    void keepsWhatTheIndexKnows();
    void keepsTheIndexOfAClipItCannotFix_data();
    void keepsTheIndexOfAClipItCannotFix();
    void staysInAFolderALinkReplaced();
    void stoppedThenRunAgain();
};

namespace {

// "name code", as a failure of the report reads in a row below.
QString Failed(const QString& name, int code) {
    return name + u' ' + QString::number(code);
}

QStringList In(const QString& folder, const QStringList& names) {
    QStringList paths;
    for (const QString& name : names)
        paths << folder + name;
    return paths;
}

} // namespace

void TestConversion::convertsACard_data() {
    QTest::addColumn<QStringList>("put");      // laid out as Card::lay reads them
    QTest::addColumn<QString>("folder");       // the folder converted
    QTest::addColumn<int>("notices");          // of nested folders; -1: nobody to tell
    QTest::addColumn<QStringList>("after");    // every path below the root afterwards
    QTest::addColumn<QList<int>>("counts");    // folders renamed, clips renamed, indexes deleted
    QTest::addColumn<QStringList>("failures"); // Failed(name, code), in the walk's order
    QTest::addColumn<QStringList>("origins");  // "path after <- path put": whose bytes it holds
    const QString card = u"X:\\card"_qs;
    const int exists = platform::ErrAlreadyExists;
    const int denied = platform::ErrAccessDenied;

    QTest::newRow("recording folder")
        << QStringList{"card/PRG001/MOV001.MOD", "card/PRG001/MOV001.MOI", "card/PRG001/MOV00A.MOD",
                       "card/PRG001/MOV00A.MOI", "card/PRG001/PRG001.PGI"}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                       "card/PRG0001/MOV0010.MPG"}
        << QList<int>{1, 2, 3} << QStringList()
        << QStringList{"card/PRG0001/MOV0010.MPG <- card/PRG001/MOV00A.MOD"};
    QTest::newRow("hexadecimal counters")
        << QStringList{"card/PRG001/MOV001.MOD", "card/PRG001/MOV001.MOI", "card/PRG00F/MOV0FF.MOD",
                       "card/PRG00F/PRG00F.PGI", "card/MOV003.MOD", "card/Photos/MOV004.MOD",
                       "card/MGR_INFO/MOV005.MOD", "card/PRG0001/MOV006.MOD"}
        << card << 0
        << QStringList{"card/", "card/MGR_INFO/", "card/MGR_INFO/MOV005.MOD", "card/MOV0003.MPG",
                       "card/Pho0000/", "card/Pho0000/MOV0004.MPG", "card/PRG0001/",
                       "card/PRG0001/MOV0006.MPG", "card/PRG001/", "card/PRG001/MOV001.MOD",
                       "card/PRG001/MOV001.MOI", "card/PRG0015/", "card/PRG0015/MOV0255.MPG"}
        << QList<int>{2, 4, 1} << QStringList{Failed(u"PRG001"_qs, exists)}
        << QStringList{"card/PRG0015/MOV0255.MPG <- card/PRG00F/MOV0FF.MOD"};
    // Six characters, or a name beginning with "PRG", make a recording folder.
    QTest::newRow("recording folder names")
        << QStringList{"card/ABCDEF/MOV001.MOD",      "card/Photos/MOV002.MOD",
                       "card/Photos/MOV002.PGI",      "card/MGR_INFO/MOV003.MOD",
                       "card/MGR_INFO/MOV003.MOI",    "card/PRGLONGNAME/MOV004.MOD",
                       "card/prg005/MOV005.MOD",      "card/prgfolder/MOV006.MOD",
                       "card/ABCDE/MOV007.MOD"}
        << card << 0
        << QStringList{"card/", "card/ABC3567/", "card/ABC3567/MOV0001.MPG", "card/Pho0000/",
                       "card/Pho0000/MOV0002.MPG", "card/MGR_INFO/", "card/MGR_INFO/MOV003.MOD",
                       "card/MGR_INFO/MOV003.MOI", "card/PRG0000/", "card/PRG0000/MOV0004.MPG",
                       "card/prg0005/", "card/prg0005/MOV0005.MPG", "card/prgfolder/",
                       "card/prgfolder/MOV006.MOD", "card/ABCDE/", "card/ABCDE/MOV007.MOD"}
        << QList<int>{4, 4, 1} << QStringList() << QStringList();
    QTest::newRow("converted folder again")
        << QStringList{"card/PRG0001/MOV0001.MPG", "card/PRG0001/MOV002.MOD",
                       "card/PRG0001/MOV002.MOI", "card/PRG0001/PRG001.PGI"}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                       "card/PRG0001/MOV0002.MPG"}
        << QList<int>{0, 1, 2} << QStringList() << QStringList();
    // ".MOD" exactly is a clip; an extension beginning ".MOI" or ".PGI" an index.
    const QStringList kept = {"MOV001.mod", "MOV002.moi", "MOV003.pgi", "MOV004.MODX",
                              "MOV005.MPG", "MOV006",     "MOV007.MO",  "MOV008.MOD.BAK",
                              "MOV009.Mod", "MOV010.PG",  "README.TXT", "MOV011.MOI.txt"};
    const QStringList indexes = {"MOV001.MOIX", "MOV002.PGIX", "X.MOIX", "MOV003.MOI",
                                 "MOV004.PGI",  "A.B.MOI",     ".MOI",   "MOV005.txt.PGI"};
    QTest::newRow("file kinds") << In(u"card/PRG001/"_qs, kept + indexes + QStringList{"MOV012.MOD"})
                                << card << 0
                                << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0018.MPG"} +
                                       In(u"card/PRG0001/"_qs, kept)
                                << QList<int>{1, 1, 8} << QStringList() << QStringList();
    QTest::newRow("top-level files")
        << QStringList{"card/MOV001.MOD", "card/MOV001.MOI", "card/MOV002.mod",
                       "card/PRG001"} // a file, not a folder: no recording folder
        << card << 0
        << QStringList{"card/", "card/MOV0001.MPG", "card/MOV002.mod", "card/PRG001"}
        << QList<int>{0, 1, 1} << QStringList() << QStringList();
    // Within a folder the walk goes in name order: A... before the subfolder
    // M..., Z... after it; the next recording folder is walked all the same.
    const QStringList nested = {"card/PRG001/AAA001.MOD", "card/PRG001/AAA001.MOI",
                                "card/PRG001/MIDDLE/MOV001.MOD", "card/PRG001/ZZZ001.MOD",
                                "card/PRG001/ZZZ001.MOI", "card/PRG002/empty/",
                                "card/PRG003/MOV003.MOD"};
    const QStringList nestedAfter = {
        "card/", "card/PRG0001/", "card/PRG0001/AAA0001.MPG", "card/PRG0001/MIDDLE/",
        "card/PRG0001/MIDDLE/MOV001.MOD", "card/PRG0001/ZZZ001.MOD", "card/PRG0001/ZZZ001.MOI",
        "card/PRG0002/", "card/PRG0002/empty/", "card/PRG0003/", "card/PRG0003/MOV0003.MPG"};
    QTest::newRow("nested folders") << nested << card << 2 << nestedAfter << QList<int>{3, 2, 1}
                                    << QStringList() << QStringList();
    QTest::newRow("nested folders, nobody to tell")
        << nested << card << -1 << nestedAfter << QList<int>{3, 2, 1} << QStringList()
        << QStringList();
    // The converted name taken, by a folder or by a file in the way.
    QTest::newRow("folder beside its converted twin")
        << QStringList{"card/PRG001/MOV001.MOD", "card/PRG001/MOV001.MOI", "card/PRG0001/MOV002.MOD",
                       "card/PRG0001/MOV002.MOI", "card/PRG002/MOV003.MOD", "card/PRG0002"}
        << card << 0
        << QStringList{"card/", "card/PRG001/", "card/PRG001/MOV001.MOD", "card/PRG001/MOV001.MOI",
                       "card/PRG0001/", "card/PRG0001/MOV0002.MPG", "card/PRG002/",
                       "card/PRG002/MOV003.MOD", "card/PRG0002"}
        << QList<int>{0, 1, 1}
        << QStringList{Failed(u"PRG001"_qs, exists), Failed(u"PRG002"_qs, exists)}
        << QStringList();
    QTest::newRow("colliding clips")
        << QStringList{"card/PRG001/MOV000.MOD", "card/PRG001/MOV00a.MOD", "card/PRG001/MOV00G.MOD",
                       "card/PRG001/MOV001.MOD", "card/PRG001/MOV0001.MPG"}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0000.MPG",
                       "card/PRG0001/MOV00a.MOD", "card/PRG0001/MOV00G.MOD",
                       "card/PRG0001/MOV001.MOD", "card/PRG0001/MOV0001.MPG"}
        << QList<int>{1, 1, 0}
        << QStringList{Failed(u"PRG0001\\MOV001.MOD"_qs, exists),
                       Failed(u"PRG0001\\MOV00a.MOD"_qs, exists),
                       Failed(u"PRG0001\\MOV00G.MOD"_qs, exists)}
        << QStringList{"card/PRG0001/MOV0000.MPG <- card/PRG001/MOV000.MOD"};
    QTest::newRow("accents and other alphabets")
        << QStringList{u"Vidéos d'été/Vidéos/ÉTÉ00A.MOD"_qs, u"Vidéos d'été/Vidéos/ÉTÉ00A.MOI"_qs,
                       u"Vidéos d'été/Фото01/видео1.MOD"_qs, u"Vidéos d'été/PRG片/视频片00B.MOD"_qs,
                       u"Vidéos d'été/Vidéo01/MOV001.MOD"_qs} // 7 characters: no recording folder
        << u"X:\\Vidéos d'été"_qs << 0
        << QStringList{u"Vidéos d'été/"_qs, u"Vidéos d'été/Vid0000/"_qs,
                       u"Vidéos d'été/Vid0000/ÉTÉ0010.MPG"_qs, u"Vidéos d'été/Фот0001/"_qs,
                       u"Vidéos d'été/Фот0001/вид0001.MPG"_qs, u"Vidéos d'été/PRG0000/"_qs,
                       u"Vidéos d'été/PRG0000/视频片0011.MPG"_qs, u"Vidéos d'été/Vidéo01/"_qs,
                       u"Vidéos d'été/Vidéo01/MOV001.MOD"_qs}
        << QList<int>{3, 3, 1} << QStringList() << QStringList();
    // Refused by the platform's own check: the tests run as root (as CI
    // does), for whom the kernel would delete.
    QTest::newRow("read-only index file")
        << QStringList{"card/PRG001/MOV001.MOD", "!card/PRG001/MOV001.MOI", "card/PRG001/MOV002.MOI",
                       "card/PRG001/PRG001.PGI"}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG",
                       "card/PRG0001/MOV001.MOI"}
        << QList<int>{1, 1, 2} << QStringList{Failed(u"PRG0001\\MOV001.MOI"_qs, denied)}
        << QStringList();
    QTest::newRow("what failed")
        << QStringList{"card/PRG001/MOV001.MOD", "card/PRG001/MOV0001.MPG", "!card/PRG001/MOV002.PGI",
                       "card/PRG002/MOV003.MOD", "card/PRG0002/"}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV001.MOD",
                       "card/PRG0001/MOV0001.MPG", "card/PRG0001/MOV002.PGI", "card/PRG002/",
                       "card/PRG002/MOV003.MOD", "card/PRG0002/"}
        << QList<int>{1, 0, 0}
        << QStringList{Failed(u"PRG0001\\MOV001.MOD"_qs, exists),
                       Failed(u"PRG0001\\MOV002.PGI"_qs, denied), Failed(u"PRG002"_qs, exists)}
        << QStringList();
    QTest::newRow("selected recording folder")
        << QStringList{"card/PRG001/MOV001.MOD", "card/PRG001/MOV001.MOI", "card/PRG001/PRG001.PGI"}
        << u"X:\\card\\PRG001"_qs << 0
        << QStringList{"card/", "card/PRG001/", "card/PRG001/MOV0001.MPG"} << QList<int>{0, 1, 2}
        << QStringList() << QStringList();
    // Nothing to convert: gone, no such drive, a file, no folder at all, a
    // drive whose medium is gone.
    const QStringList one = {"card/PRG001/MOV001.MOD"};
    const QStringList oneAfter = {"card/", "card/PRG001/", "card/PRG001/MOV001.MOD"};
    for (const char* gone : {"X:\\gone", "X:\\card\\gone\\deeper", "Q:\\card",
                             "X:\\card\\PRG001\\MOV001.MOD", "", "R:\\"})
        QTest::addRow("nothing at \"%s\"", gone)
            << one << QString::fromUtf8(gone) << 0 << oneAfter << QList<int>{0, 0, 0}
            << QStringList() << QStringList();
    // The first entry of a root, where no "." and ".." come first; a folder
    // whose first entry is the only one; a root written with a doubled backslash.
    QTest::newRow("drive root")
        << QStringList{"AAA001.MOD", "AAA001.MOI", "PRG001/MOV001.MOD"} << u"X:\\"_qs << 0
        << QStringList{"AAA0001.MPG", "PRG0001/", "PRG0001/MOV0001.MPG"} << QList<int>{1, 2, 1}
        << QStringList() << QStringList();
    QTest::newRow("only entry") << QStringList{"one/AAA002.MOD"} << u"X:\\one"_qs << 0
                                << QStringList{"one/", "one/AAA0002.MPG"} << QList<int>{0, 1, 0}
                                << QStringList() << QStringList();
    QTest::newRow("root with a doubled backslash")
        << QStringList{"AAA003.MOD"} << u"X:\\\\"_qs << 0 << QStringList{"AAA0003.MPG"}
        << QList<int>{0, 1, 0} << QStringList() << QStringList();
    // A link that looks like a recording folder; a link in the way of a
    // folder's new name; a link to a folder inside a recording folder.
    QTest::newRow("links to folders")
        << QStringList{"outside/PRG009/MOV009.MOD", "outside/PRG009/MOV009.MOI",
                       "outside/MOV008.MOD", "outside/MOV008.MOI", "card/PRG003/MOV003.MOD",
                       "card/PRG004/MOV004.MOD", "card/PRG004/MOV004.MOI", "card/PRG001 -> ../outside",
                       "card/PRG002 -> ../outside/PRG009", "card/PRG0003 -> ../outside",
                       "card/PRG004/MOV004.ZZZ -> ../../outside"}
        << card << 1
        << QStringList{"card/", "card/PRG001 -> ../outside", "card/PRG002 -> ../outside/PRG009",
                       "card/PRG0003 -> ../outside", "card/PRG003/", "card/PRG003/MOV003.MOD",
                       "card/PRG0004/", "card/PRG0004/MOV0004.MPG",
                       "card/PRG0004/MOV004.ZZZ -> ../../outside", "outside/", "outside/MOV008.MOD",
                       "outside/MOV008.MOI", "outside/PRG009/", "outside/PRG009/MOV009.MOD",
                       "outside/PRG009/MOV009.MOI"}
        << QList<int>{1, 1, 1} << QStringList{Failed(u"PRG003"_qs, exists)} << QStringList();
    // Links to files are renamed and deleted themselves, a dangling one too.
    QTest::newRow("links to files")
        << QStringList{"outside/target.MOD", "outside/target.MOI", "card/PRG001/",
                       "card/PRG001/MOV001.MOD -> ../../outside/target.MOD",
                       "card/PRG001/MOV001.MOI -> ../../outside/target.MOI",
                       "card/PRG001/MOV002.MOD -> ../../outside/none.MOD",
                       "card/MOV003.MOD -> ../outside/target.MOD"}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG -> ../../outside/target.MOD",
                       "card/PRG0001/MOV0002.MPG -> ../../outside/none.MOD",
                       "card/MOV0003.MPG -> ../outside/target.MOD", "outside/", "outside/target.MOD",
                       "outside/target.MOI"}
        << QList<int>{1, 3, 1} << QStringList() << QStringList();
    // Host names that no Windows path can reach; each one reads as a path
    // that leads somewhere else (or nowhere) on Windows.
    QTest::newRow("names holding a backslash")
        << QStringList{"card/PRG001/MOV001.MOD", u"card/PRG001\\MOV001.MOD"_qs,
                       u"card/PRG001\\MOV002.MOI"_qs, u"card/MOV\\03.MOD"_qs,
                       u"card/PRG001/MOV\\04.MOD"_qs, u"card/PRG001/a\\b.MOI"_qs,
                       u"card/PRG\\002/MOV005.MOD"_qs}
        << card << 0
        << QStringList{"card/", "card/PRG0001/", "card/PRG0001/MOV0001.MPG", u"card/PRG\\002/"_qs,
                       u"card/PRG\\002/MOV005.MOD"_qs, u"card/PRG001\\MOV001.MOD"_qs,
                       u"card/PRG001\\MOV002.MOI"_qs, u"card/MOV\\03.MOD"_qs,
                       u"card/PRG0001/MOV\\04.MOD"_qs, u"card/PRG0001/a\\b.MOI"_qs}
        << QList<int>{1, 1, 0} << QStringList() << QStringList();
}

// Converts a card once, then again: the second run finds nothing left to
// rename or delete and moves nothing.
void TestConversion::convertsACard() {
    QFETCH(QStringList, put);
    QFETCH(QString, folder);
    QFETCH(int, notices);
    QFETCH(QStringList, after);
    QFETCH(QList<int>, counts);
    QFETCH(QStringList, failures);
    QFETCH(QStringList, origins);
    Card card;
    card.lay(put);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(card.convert(folder, {}, notices >= 0), QStringList(qMax(notices, 0), Nested));
    QCOMPARE(card.paths(), sorted(after));
    QCOMPARE(card.lost(), QString());
    const strovan::ConversionReport& report = card.report();
    QCOMPARE((QList<int>{report.foldersRenamed, report.clipsRenamed, report.indexesDeleted}), counts);
    QStringList failed;
    for (const strovan::ConversionFailure& failure : report.failures)
        failed << Failed(failure.name, failure.code);
    QCOMPARE(failed, failures);
    for (const QString& origin : origins) {
        const QStringList pair = origin.split(u" <- "_qs);
        QVERIFY2(card.after().file(pair[0]).startsWith("bytes of " + pair[1].toUtf8() + '\n'),
                 qPrintable(origin));
    }
    const CardTree once = card.after();
    card.convert(folder, {}, notices >= 0);
    QCOMPARE(card.paths(), sorted(after));
    QCOMPARE(CardTree::lost(once, card.after()), QString());
    QCOMPARE(card.report().foldersRenamed + card.report().clipsRenamed +
                 card.report().indexesDeleted,
             0);
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

namespace {

// What stands in the way of keeping what an index knows.
enum class Obstacle { ReadOnlyClip, ClipInUse, ClipLinkedOutside, IndexUnreadable, IndexReadFails,
                      FlushFails, BareStream };

} // namespace

void TestConversion::keepsTheIndexOfAClipItCannotFix_data() {
    using Step = strovan::ConversionFailure::Step;
    QTest::addColumn<int>("obstacle");
    QTest::addColumn<QString>("failed");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("clipChanged"); // the fix was made, but not confirmed
    const QString clip = u"PRG0001\\MOV0001.MPG"_qs;
    const QString index = u"PRG0001\\MOV001.MOI"_qs;
    // Refused by the platform's own check: the tests run as root (as CI
    // does), for whom the kernel would write.
    QTest::newRow("read-only clip") << int(Obstacle::ReadOnlyClip) << clip
                                    << int(platform::ErrAccessDenied) << int(Step::Widen) << true
                                    << false;
    QTest::newRow("clip in use") << int(Obstacle::ClipInUse) << clip
                                 << int(platform::ErrSharingViolation) << int(Step::Widen) << false
                                 << false;
    QTest::newRow("clip linked outside the card")
        << int(Obstacle::ClipLinkedOutside) << clip << int(platform::ErrAccessDenied)
        << int(Step::Widen) << false << false;
    QTest::newRow("index without read permission")
        << int(Obstacle::IndexUnreadable) << index << int(platform::ErrAccessDenied)
        << int(Step::ReadIndex) << false << false;
    QTest::newRow("index read error") << int(Obstacle::IndexReadFails) << index << 0x1F
                                      << int(Step::ReadIndex) << false << false;
    QTest::newRow("flush fails") << int(Obstacle::FlushFails) << clip << 0x1F << int(Step::Flush)
                                 << false << true;
    QTest::newRow("no program stream")
        << int(Obstacle::BareStream) << clip << int(strovan::ErrNotProgramStream)
        << int(Step::Widen) << false << false;
}

void TestConversion::keepsTheIndexOfAClipItCannotFix() {
    QFETCH(int, obstacle);
    QFETCH(QString, failed);
    QFETCH(int, code);
    QFETCH(int, step);
    QFETCH(bool, readOnly);
    QFETCH(bool, clipChanged);
    // A bare elementary stream is left as it is: its headers are no program's.
    const TestStream stream =
        Obstacle(obstacle) == Obstacle::BareStream ? VideoStream() : MakeProgramStream();
    Card card;
    const QString outside = card.drives().writeFile(u"X:\\outside\\MOV001.MOD"_qs, stream.bytes);
    const QString clip = card.host(u"card/PRG001/MOV001.MOD"_qs);
    if (Obstacle(obstacle) == Obstacle::ClipLinkedOutside)
        QVERIFY(QDir().mkpath(card.host(u"card/PRG001"_qs)) && QFile::link(outside, clip));
    else
        card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOD"_qs, stream.bytes);
    const QString index = card.drives().writeFile(u"X:\\card\\PRG001\\MOV001.MOI"_qs, WideIndex());
    QFile other(clip);
    std::optional<NoDacOverride> bound;
    platform::CardFaults faults;
    switch (Obstacle(obstacle)) {
    case Obstacle::ReadOnlyClip:
        QCOMPARE(::chmod(QFile::encodeName(clip).constData(), 0444), 0);
        break;
    case Obstacle::ClipInUse:
        QVERIFY(other.open(QIODevice::ReadOnly) && ::flock(other.handle(), LOCK_SH) == 0);
        break;
    case Obstacle::IndexUnreadable:
        QCOMPARE(::chmod(QFile::encodeName(index).constData(), 0200), 0);
        bound.emplace();
        QVERIFY(bound->active());
        break;
    case Obstacle::IndexReadFails:
        faults.readName = u"MOV001.MOI"_qs;
        faults.readError = 0x1F;
        break;
    case Obstacle::FlushFails:
        faults.flushName = u"MOV0001.MPG"_qs;
        faults.flushError = 0x1F;
        break;
    case Obstacle::ClipLinkedOutside:
    case Obstacle::BareStream:
        break;
    }
    platform::setCardFaultsForTests(faults);
    card.convert(u"X:\\card"_qs);
    platform::setCardFaultsForTests({});
    bound.reset();
    // Renamed, and its index file is still there for the next run.
    const QString kept = card.host(u"card/PRG0001/MOV001.MOI"_qs);
    QCOMPARE(::chmod(QFile::encodeName(kept).constData(), 0644), 0);
    QFile keptIndex(kept);
    QVERIFY(keptIndex.open(QIODevice::ReadOnly));
    QCOMPARE(keptIndex.readAll(), WideIndex());
    if (Obstacle(obstacle) == Obstacle::ClipLinkedOutside)
        QVERIFY(card.paths().contains(u"card/PRG0001/MOV0001.MPG -> "_qs + outside));
    else
        QCOMPARE(card.after().file(u"card/PRG0001/MOV0001.MPG"_qs) != stream.bytes, clipChanged);
    QCOMPARE(card.after().file(u"outside/MOV001.MOD"_qs), stream.bytes);
    QCOMPARE(card.report().failures.size(), 1);
    const strovan::ConversionFailure& failure = card.report().failures.first();
    QCOMPARE(failure.name, failed);
    QCOMPARE(failure.code, code);
    QCOMPARE(int(failure.step), step);
    QCOMPARE(failure.readOnly, readOnly);
    QCOMPARE(failure.keptIndex, u"MOV001.MOI"_qs);
    QCOMPARE(card.report().indexesDeleted, 0);
    QCOMPARE(card.report().clipsWidened + card.report().datesRestored, 0);
}

void TestConversion::staysInAFolderALinkReplaced() {
    // A recording folder swapped for a link to another folder once the walk
    // has opened it: the walk goes on in the folder it opened.
    const TestStream stream = MakeProgramStream();
    Card card;
    for (const char* name : {"MOV001", "MOV002"}) {
        const QString clip = u"X:\\card\\PRG001\\"_qs + QLatin1String(name);
        card.drives().writeFile(clip + u".MOD"_qs, stream.bytes);
        card.drives().writeFile(clip + u".MOI"_qs, WideIndex());
    }
    for (const char* name : {"MOV0001.MPG", "MOV0002.MPG", "MOV001.MOI"})
        card.drives().writeFile(u"X:\\elsewhere\\"_qs + QLatin1String(name), stream.bytes);
    bool swapped = false;
    strovan::ConversionHooks hooks;
    hooks.progress = [&](const QString&, bool, int) {
        if (std::exchange(swapped, true))
            return;
        QVERIFY(QFile::rename(card.host(u"card/PRG0001"_qs), card.host(u"card/moved"_qs)));
        QVERIFY(QFile::link(card.host(u"elsewhere"_qs), card.host(u"card/PRG0001"_qs)));
    };
    card.convert(u"X:\\card"_qs, hooks);
    QVERIFY(swapped);
    for (const char* name : {"MOV0001.MPG", "MOV0002.MPG", "MOV001.MOI"})
        QCOMPARE(card.after().file(u"elsewhere/"_qs + QLatin1String(name)), stream.bytes);
    QVERIFY(!card.modified(u"elsewhere/MOV0001.MPG"_qs).isNull());
    QVERIFY(card.modified(u"elsewhere/MOV0001.MPG"_qs) != Recorded);
    for (const char* name : {"moved/MOV0001.MPG", "moved/MOV0002.MPG"}) {
        const QString clip = u"card/"_qs + QLatin1String(name);
        QCOMPARE(Differences(stream.bytes, card.after().file(clip)), stream.shapeBytes);
        QCOMPARE(card.modified(clip), Recorded);
    }
    QVERIFY(!card.paths().contains(u"card/moved/MOV001.MOI"_qs));
    QVERIFY(!card.paths().contains(u"card/moved/MOV002.MOI"_qs));
    QCOMPARE(card.report().clipsWidened, 2);
    QVERIFY(card.report().failures.isEmpty());
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

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
