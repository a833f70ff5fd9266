// The import of a card: a removable volume put in place through the mount
// list, a home folder of the test's own, and the card compared file by file
// (sizes, times, bytes) before and after.

#include "CardStreams.h"
#include "converter/CardImport.h"
#include "converter/Conversion.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/UserFolders.h"
#include "platform/VerifiedCopy.h"
#include "platform/Volumes.h"
#include "support/TempDrives.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QScopeGuard>
#include <QtTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every entry below a host folder with its size, times and a checksum, read
// without setting an access time, so that the listing itself changes nothing.
void List(const QString& hostRoot, const QString& relative, QStringList& lines) {
    const QString folder = hostRoot + relative;
    const int fd = ::open(QFile::encodeName(folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOATIME | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir)
        return;
    while (const dirent* d = ::readdir(dir)) {
        const QString name = QFile::decodeName(d->d_name);
        if (name == u"." || name == u"..")
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        QCryptographicHash sum(QCryptographicHash::Sha256);
        if (S_ISREG(st.st_mode)) {
            const int file = ::openat(::dirfd(dir), d->d_name, O_RDONLY | O_NOATIME | O_CLOEXEC);
            char buffer[65536];
            ssize_t n;
            while (file >= 0 && (n = ::read(file, buffer, sizeof buffer)) > 0)
                sum.addData(QByteArrayView(buffer, n));
            if (file >= 0)
                ::close(file);
        }
        lines << QStringLiteral("%1/%2 %3 %4.%5 %6.%7 %8")
                     .arg(relative, name)
                     .arg(st.st_size)
                     .arg(st.st_mtim.tv_sec)
                     .arg(st.st_mtim.tv_nsec)
                     .arg(st.st_atim.tv_sec)
                     .arg(st.st_atim.tv_nsec)
                     .arg(QString::fromLatin1(sum.result().toHex()));
        if (S_ISDIR(st.st_mode))
            List(hostRoot, relative + u'/' + name, lines);
    }
    ::closedir(dir);
}

QStringList Listing(const QString& hostRoot) {
    QStringList lines;
    List(hostRoot, QString(), lines);
    lines.sort();
    return lines;
}

// Gives every entry below a host folder an access time long past, as a card
// read last month has: a read now would move it.
void AgeAccessTimes(const QString& hostRoot) {
    const struct timespec times[2] = {{1249128000, 0}, {0, UTIME_OMIT}};
    ::utimensat(AT_FDCWD, QFile::encodeName(hostRoot).constData(), times, 0);
    QDirIterator it(hostRoot, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths)
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

// Relative paths of the files below a host folder, sorted.
QStringList Files(const QString& hostRoot) {
    QStringList files;
    QDirIterator it(hostRoot, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(hostRoot.size() + 1);
    files.sort();
    return files;
}

// A home with its videos folder on c:, and a card mounted where the desktop
// mounts removable media: drive D:.
class Setup {
public:
    Setup() {
        m_oldHome = qgetenv("HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        home = drives.hostRoot() + QStringLiteral("/home");
        QDir().mkpath(home + QStringLiteral("/Vidéos"));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
        drives.addDrive(u'c', home);
        card = drives.hostRoot() + QStringLiteral("/media/CARTE");
        QDir().mkpath(card);
        mounts << platform::MountPoint{card, "/dev/sdb1", "vfat", QStringLiteral("CARTE"), true};
        platform::setMountLister([this] { return mounts; });
        platform::removableDrives();
    }
    ~Setup() {
        platform::setCopyReadFaultForTests({});
        mounts.clear();
        platform::removableDrives();
        platform::setMountLister({});
        qputenv("HOME", m_oldHome);
        if (m_oldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    // A file on the card with bytes of its own, dated as the camera would.
    void put(const QString& relative, const QByteArray& content = {},
             const QDateTime& time = QDateTime(QDate(2009, 7, 14), QTime(10, 0))) {
        const QString path = card + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.isNull() ? "clip " + relative.toUtf8() + QByteArray(5000, 'c')
                                    : content);
        file.flush();
        file.setFileTime(time, QFileDevice::FileModificationTime);
    }
    // A camera's recording folder: clips with their index files, and its own.
    void recordings(const QString& folder, int clips, const QDate& first) {
        for (int i = 1; i <= clips; ++i) {
            const QString stem =
                folder + QStringLiteral("/MOV%1").arg(i, 3, 16, QChar(u'0')).toUpper();
            const QDate day = first.addDays(i - 1);
            put(stem + QStringLiteral(".MOD"), {}, QDateTime(day, QTime(10, 0)));
            put(stem + QStringLiteral(".MOI"),
                MakeClipIndex(day.year(), day.month(), day.day(), 10, 0, 0, 0x50));
        }
        put(folder + u'/' + folder.section(u'/', -1) + QStringLiteral(".PGI"),
            QByteArray(300, 'p'));
    }

    QString videos() const { return home + QStringLiteral("/Vidéos"); }

    TempDrives drives;
    QString home;
    QString card;
    QList<platform::MountPoint> mounts;

private:
    QByteArray m_oldHome, m_oldConfig;
};

QString Videos() {
    return platform::toWindowsPath(platform::videosHostFolder());
}

// Imports the card's root into the videos folder.
strovan::ImportReport Import(const strovan::ImportHooks& hooks = {},
                             strovan::ImportPlan* planned = nullptr) {
    const strovan::ImportPlan plan = strovan::PlanImport(QStringLiteral("D:\\"), Videos());
    if (planned)
        *planned = plan;
    return strovan::ImportCard(plan, hooks);
}

QStringList Temporaries(const QString& hostRoot) {
    return Files(hostRoot).filter(QRegularExpression(QStringLiteral("(^|/)~[^/]*\\.tmp$")));
}

} // namespace

class TestCardImport : public QObject {
    Q_OBJECT

private slots:
    void offeredOnlyOnRemovableVolumes_data();
    void offeredOnlyOnRemovableVolumes();
    void importsThenConvertsTheCopy();
    void namesTheDestination_data();
    void namesTheDestination();
    void stopsOnACardThatFails_data();
    void stopsOnACardThatFails();
    void importsAgainWhatIsMissingOnly_data();
    void importsAgainWhatIsMissingOnly();
    void tellsWhenTheDiskIsShort();
    void importsIntoADriveRoot_data();
    void importsIntoADriveRoot();
};

void TestCardImport::offeredOnlyOnRemovableVolumes_data() {
    QTest::addColumn<QString>("folder"); // $CARD and $HOME stand for host folders on z:
    QTest::addColumn<bool>("removableMount");
    QTest::addColumn<bool>("offered");
    QTest::newRow("the card's drive") << "D:\\" << true << true;
    QTest::newRow("a folder of the card") << "D:\\SD_VIDEO" << true << true;
    QTest::newRow("the card through z:") << "$CARD\\SD_VIDEO" << true << true;
    QTest::newRow("the user's disk") << "C:\\Vidéos" << true << false;
    QTest::newRow("a fixed disk mounted elsewhere") << "$CARD" << false << false;
}

void TestCardImport::offeredOnlyOnRemovableVolumes() {
    QFETCH(QString, folder);
    QFETCH(bool, removableMount);
    QFETCH(bool, offered);
    Setup setup;
    QDir().mkpath(setup.card + QStringLiteral("/SD_VIDEO"));
    if (!removableMount) {
        // Not below the user's media folders, and a medium that stays in.
        setup.mounts = {platform::MountPoint{setup.card, "/dev/sdb1", "ext4", QString(), false}};
        platform::removableDrives();
    }
    folder.replace(QStringLiteral("$CARD"),
                   QStringLiteral("Z:") + QString(setup.card).replace(u'/', u'\\'));
    QCOMPARE(strovan::IsCardFolder(folder), offered);
}

void TestCardImport::importsThenConvertsTheCopy() {
    Setup setup;
    setup.recordings(QStringLiteral("SD_VIDEO/PRG001"), 2, QDate(2009, 7, 15));
    setup.recordings(QStringLiteral("SD_VIDEO/PRG002"), 1, QDate(2009, 7, 14));
    setup.put(QStringLiteral("SD_VIDEO/MGR_INFO/MGR_INFO.DAT"));
    setup.put(QStringLiteral("SD_VIDEO/PRG001/NOTES.TXT"));
    setup.put(QStringLiteral("SD_VIDEO/PRG001.PGI"), QByteArray(10, 'g'));
    AgeAccessTimes(setup.card);
    const QStringList before = Listing(setup.card);

    const strovan::ImportPlan plan = strovan::PlanImport(QStringLiteral("D:\\SD_VIDEO"), Videos());
    QCOMPARE(plan.error, 0);
    QCOMPARE(plan.destination, QStringLiteral("C:\\Vidéos\\Camescope 2009-07-14"));
    QCOMPARE(plan.toCopy(), 9);
    QCOMPARE(plan.alreadyImported(), 0);
    QList<qint64> progress;
    strovan::ImportHooks hooks;
    hooks.progress = [&progress](const QString&, qint64 done, qint64, int) { progress << done; };
    const strovan::ImportReport report = strovan::ImportCard(plan, hooks);
    QVERIFY(report.complete());
    QCOMPARE(report.copied, 9);
    QCOMPARE(progress.last(), plan.bytesToCopy());
    QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));

    // The card as it was, access times included (before the test reads it).
    QCOMPARE(Listing(setup.card), before);
    const QString copy = setup.videos() + QStringLiteral("/Camescope 2009-07-14");
    const QStringList copied = Files(copy);
    QCOMPARE(copied, QStringList({"Importation de la carte.txt", "PRG001.PGI", "PRG001/MOV001.MOD",
                                  "PRG001/MOV001.MOI", "PRG001/MOV002.MOD", "PRG001/MOV002.MOI",
                                  "PRG001/PRG001.PGI", "PRG002/MOV001.MOD", "PRG002/MOV001.MOI",
                                  "PRG002/PRG002.PGI"}));
    for (const QString& file : copied.mid(1)) {
        QFile a(setup.card + QStringLiteral("/SD_VIDEO/") + file), b(copy + u'/' + file);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());
        QCOMPARE(QFileInfo(b).lastModified(), QFileInfo(a).lastModified());
    }

    // The conversion then works on the copy alone.
    strovan::ConvertFolder(plan.destination, {});
    QCOMPARE(Files(copy), QStringList({"Importation de la carte.txt", "PRG0001/MOV0001.MPG",
                                       "PRG0001/MOV0002.MPG", "PRG0002/MOV0001.MPG"}));
}

void TestCardImport::namesTheDestination_data() {
    QTest::addColumn<QStringList>("cardFiles"); // "name@yyyy-MM-dd", date of the file's time
    QTest::addColumn<QStringList>("videos");    // folders and files already in the videos folder
    QTest::addColumn<QString>("destination");
    QTest::newRow("dated by the index files")
        << QStringList{"PRG001/MOV001.MOD@2011-01-01", "PRG001/MOV001.MOI=2009-07-14",
                       "PRG002/MOV002.MOD@2011-01-01", "PRG002/MOV002.MOI=2008-02-29"}
        << QStringList{} << "Camescope 2008-02-29";
    QTest::newRow("dated by the clips without index")
        << QStringList{"PRG001/MOV001.MOD@2010-05-02", "MOV002.MOD@2010-05-01"} << QStringList{}
        << "Camescope 2010-05-01";
    QTest::newRow("an unreadable index date is no date")
        << QStringList{"PRG001/MOV001.MOD@2010-05-02", "PRG001/MOV001.MOI=bad"} << QStringList{}
        << "Camescope 2010-05-02";
    QTest::newRow("a name taken by a folder")
        << QStringList{"PRG001/MOV001.MOD@2010-05-02"}
        << QStringList{"Camescope 2010-05-02/", "camescope 2010-05-02 (2)/"}
        << "Camescope 2010-05-02 (3)";
    QTest::newRow("a name taken by a file")
        << QStringList{"PRG001/MOV001.MOD@2010-05-02"} << QStringList{"Camescope 2010-05-02"}
        << "Camescope 2010-05-02 (2)";
}

void TestCardImport::namesTheDestination() {
    QFETCH(QStringList, cardFiles);
    QFETCH(QStringList, videos);
    QFETCH(QString, destination);
    Setup setup;
    for (const QString& cardFile : cardFiles) {
        if (cardFile.contains(u'@')) {
            const QDate date = QDate::fromString(cardFile.section(u'@', 1), Qt::ISODate);
            setup.put(cardFile.section(u'@', 0, 0), {}, QDateTime(date, QTime(12, 0)));
        } else {
            const QDate date = QDate::fromString(cardFile.section(u'=', 1), Qt::ISODate);
            setup.put(cardFile.section(u'=', 0, 0),
                      date.isValid()
                          ? MakeClipIndex(date.year(), date.month(), date.day(), 9, 0, 0, 0x50)
                          : MakeClipIndex(2009, 13, 40, 9, 0, 0, 0x50));
        }
    }
    for (const QString& entry : videos) {
        if (entry.endsWith(u'/'))
            QDir().mkpath(setup.videos() + u'/' + entry);
        else
            QFile(setup.videos() + u'/' + entry).open(QIODevice::WriteOnly);
    }
    QCOMPARE(strovan::PlanImport(QStringLiteral("D:\\"), Videos()).destination,
             QStringLiteral("C:\\Vidéos\\") + destination);
}

void TestCardImport::stopsOnACardThatFails_data() {
    QTest::addColumn<int>("read");       // the read of MOV002.MOD where it happens
    QTest::addColumn<QString>("what");   // the read fails, the card's file changes, "Annuler"
    QTest::addColumn<QString>("reason"); // in the report's line for MOV002.MOD
    QTest::newRow("unreadable while copying") << 1 << "fails"
                                              << "la carte ne se lit plus";
    QTest::newRow("unreadable while comparing") << 2 << "fails"
                                                << "la carte ne se lit plus";
    QTest::newRow("changed before the comparison") << 2 << "changes"
                                                   << "diffère de la carte";
    QTest::newRow("cancelled once written") << 1 << "cancels"
                                            << "";
}

void TestCardImport::stopsOnACardThatFails() {
    QFETCH(int, read);
    QFETCH(QString, what);
    QFETCH(QString, reason);
    Setup setup;
    setup.recordings(QStringLiteral("PRG001"), 3, QDate(2009, 7, 14));
    const QString changing = setup.card + QStringLiteral("/PRG001/MOV002.MOD");
    int reads = 0;
    bool cancelled = false;
    platform::setCopyReadFaultForTests([&](const QString& name, qint64) {
        if (name != u"MOV002.MOD" || ++reads != read)
            return 0;
        if (what == u"fails")
            return int(platform::ErrGenFailure);
        if (what == u"cancels") {
            cancelled = true; // seen before the comparison
            return 0;
        }
        QFile file(changing);
        file.open(QIODevice::ReadWrite);
        file.write("X");
        return 0;
    });
    strovan::ImportHooks hooks;
    hooks.stop = [&cancelled] { return cancelled; };
    const strovan::ImportReport report = Import(hooks);
    const bool halted = what == u"fails";
    const bool goesOn = what == u"changes";
    QCOMPARE(report.halted, halted);
    QCOMPARE(report.stopped, what == u"cancels");
    QVERIFY(!report.complete());
    const QString copy = setup.videos() + QStringLiteral("/Camescope 2009-07-14");
    QVERIFY(!QFileInfo::exists(copy + QStringLiteral("/PRG001/MOV002.MOD")));
    QCOMPARE(Temporaries(copy), QStringList());
    // What was verified before stays, and what comes after only if it went on.
    QVERIFY(QFileInfo::exists(copy + QStringLiteral("/PRG001/MOV001.MOD")));
    QCOMPARE(QFileInfo::exists(copy + QStringLiteral("/PRG001/MOV003.MOD")), goesOn);
    // The report names the file and says why, in French.
    const QStringList lines =
        strovan::ImportReportLines(report).filter(QStringLiteral("PRG001\\MOV002.MOD"));
    QCOMPARE(lines.size(), reason.isEmpty() ? 0 : 1);
    if (!reason.isEmpty())
        QVERIFY(lines[0].contains(reason));
    if (halted) {
        QVERIFY(report.halt.onCard);
        QCOMPARE(report.halt.code, int(platform::ErrGenFailure));
    }
    // Run again once the card reads well: only what is missing is copied.
    platform::setCopyReadFaultForTests({});
    strovan::ImportPlan plan;
    const strovan::ImportReport again = Import({}, &plan);
    QVERIFY(again.complete());
    QCOMPARE(plan.destination, QStringLiteral("C:\\Vidéos\\Camescope 2009-07-14"));
    QCOMPARE(again.copied, goesOn ? 1 : 5);
    QCOMPARE(again.alreadyImported, goesOn ? 6 : 2);
}

void TestCardImport::importsAgainWhatIsMissingOnly_data() {
    QTest::addColumn<bool>("convertFirst");
    QTest::addColumn<int>("stopAfterFiles"); // the first import stops after so many (-1: never)
    QTest::addColumn<QString>("change");     // what happens between the two imports
    QTest::addColumn<int>("copiedAgain");
    QTest::addColumn<QStringList>("converted");
    const QStringList all{"PRG0001/MOV0001.MPG", "PRG0001/MOV0002.MPG"};
    QTest::newRow("same card, converted") << true << -1 << "" << 0 << all;
    QTest::newRow("same card, not converted") << false << -1 << "" << 0 << all;
    QTest::newRow("stopped, then again") << false << 2 << "" << 3 << all;
    QTest::newRow("a clip filmed since")
        << true << -1 << "new" << 2 << (all + QStringList{"PRG0001/MOV0003.MPG"});
    // The clip and its index file, which the conversion used and deleted.
    QTest::newRow("a copy deleted since") << true << -1 << "deleted" << 2 << all;
}

void TestCardImport::importsAgainWhatIsMissingOnly() {
    QFETCH(bool, convertFirst);
    QFETCH(int, stopAfterFiles);
    QFETCH(QString, change);
    QFETCH(int, copiedAgain);
    QFETCH(QStringList, converted);
    Setup setup;
    setup.recordings(QStringLiteral("PRG001"), 2, QDate(2009, 7, 14));
    strovan::ImportHooks hooks;
    int done = 0;
    hooks.progress = [&done](const QString&, qint64, qint64, int files) { done = files; };
    hooks.stop = [&done, stopAfterFiles] { return stopAfterFiles >= 0 && done >= stopAfterFiles; };
    const strovan::ImportReport first = Import(hooks);
    QCOMPARE(first.stopped, stopAfterFiles >= 0);
    const QString copy = setup.videos() + QStringLiteral("/Camescope 2009-07-14");
    if (convertFirst)
        strovan::ConvertFolder(first.destination, {});
    if (change == u"new")
        setup.put(QStringLiteral("PRG001/MOV003.MOD"));
    if (change == u"new")
        setup.put(QStringLiteral("PRG001/MOV003.MOI"), MakeClipIndex(2009, 7, 20, 9, 0, 0, 0x50));
    if (change == u"deleted")
        QVERIFY(QFile::remove(copy + QStringLiteral("/PRG0001/MOV0002.MPG")));

    strovan::ImportPlan plan;
    const strovan::ImportReport again = Import({}, &plan);
    QVERIFY(plan.earlierImport);
    QCOMPARE(again.destination, first.destination);
    QCOMPARE(again.copied, copiedAgain);
    QCOMPARE(again.alreadyImported, int(plan.files.size()) - copiedAgain);
    QVERIFY(again.complete());
    strovan::ConvertFolder(again.destination, {});
    QCOMPARE(Files(copy).filter(QStringLiteral(".MPG")), converted);
    QCOMPARE(Files(copy).filter(QStringLiteral(".MO")), QStringList());
}

void TestCardImport::tellsWhenTheDiskIsShort() {
    Setup setup;
    setup.recordings(QStringLiteral("PRG001"), 1, QDate(2009, 7, 14));
    strovan::ImportPlan plan = strovan::PlanImport(QStringLiteral("D:\\"), Videos());
    const strovan::SpaceCheck fits = strovan::CheckSpace(plan);
    QVERIFY(fits.available > 0);
    QVERIFY(fits.enough());
    // More than any disk here holds: the import must not start.
    plan.files[0].size = fits.available;
    const strovan::SpaceCheck short_ = strovan::CheckSpace(plan);
    QVERIFY(!short_.enough());
    QVERIFY(short_.needed > short_.available);
}

void TestCardImport::importsIntoADriveRoot_data() {
    QTest::addColumn<QString>("videos"); // the videos folder, given as a drive's root
    QTest::addColumn<QString>("host");   // where that root is, below the home folder
    QTest::newRow("a letter given to the videos folder") << "W:\\" << "Vidéos";
    QTest::newRow("the home folder for want of one") << "C:\\" << "";
}

void TestCardImport::importsIntoADriveRoot() {
    QFETCH(QString, videos);
    QFETCH(QString, host);
    Setup setup;
    setup.drives.addDrive(u'w', setup.videos());
    setup.recordings(QStringLiteral("PRG001"), 1, QDate(2009, 7, 14));
    const strovan::ImportPlan plan = strovan::PlanImport(QStringLiteral("D:\\"), videos);
    QCOMPARE(plan.destination, videos + QStringLiteral("Camescope 2009-07-14"));
    const strovan::ImportReport report = strovan::ImportCard(plan);
    QVERIFY(report.complete());
    QCOMPARE(report.copied, 3);
    QCOMPARE(Files(QDir::cleanPath(setup.home + u'/' + host) +
                   QStringLiteral("/Camescope 2009-07-14/PRG001")),
             QStringList({"MOV001.MOD", "MOV001.MOI", "PRG001.PGI"}));
    // Imported again: recognised, nothing copied twice.
    QCOMPARE(strovan::PlanImport(QStringLiteral("D:\\"), videos).toCopy(), 0);
}

QTEST_GUILESS_MAIN(TestCardImport)
#include "tst_cardimport.moc"
