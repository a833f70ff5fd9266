// Replacing an entry of a folder: the new file takes the entry's place only
// once it is committed, and never through what stands there.

#include "support/TempDrives.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace platform;

namespace {

const QString Root = QStringLiteral("X:\\");
const QString Name = QStringLiteral("Autorun.inf");

QStringList hostNames(const QString& host) {
    return QDir(host).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                    QDir::System,
                                QDir::Name);
}

// Writes bytes in place of the root's entry name; the error of the first step
// that fails.
int replaceWith(const QString& name, const QByteArray& bytes) {
    int error = NoError;
    const Folder root = Folder::open(Root);
    Replacement replacement = root.replace(name, &error);
    if (error != NoError)
        return error;
    if (replacement.file().write(bytes.constData(), bytes.size(), &error) < 0)
        return error;
    return replacement.commit();
}

} // namespace

class TestReplacement : public QObject {
    Q_OBJECT

private slots:
    // The entry keeps the name it has, whatever case the caller wrote.
    void commitTakesTheEntrysPlace_data() {
        QTest::addColumn<QString>("existing");
        QTest::newRow("no entry yet") << QString();
        QTest::newRow("same name") << Name;
        QTest::newRow("other case") << Name.toUpper();
    }
    void commitTakesTheEntrysPlace() {
        QFETCH(QString, existing);
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        if (!existing.isEmpty())
            drives.writeFile(Root + existing, QByteArray(500, 'o'));
        QCOMPARE(replaceWith(Name, "new"), int(NoError));
        const QString held = existing.isEmpty() ? Name : existing;
        QCOMPARE(hostNames(host), QStringList{held});
        QCOMPARE(drives.readFile(Root + held), QByteArray("new"));
    }

    void givenUpLeavesTheEntryAsItWas_data() {
        QTest::addColumn<QByteArray>("previous");
        QTest::newRow("no entry") << QByteArray();
        QTest::newRow("an entry") << QByteArray("old");
    }
    void givenUpLeavesTheEntryAsItWas() {
        QFETCH(QByteArray, previous);
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        if (!previous.isNull())
            drives.writeFile(Root + Name, previous);
        const QStringList before = hostNames(host);
        {
            int error = NoError;
            const Folder root = Folder::open(Root);
            Replacement replacement = root.replace(Name, &error);
            QCOMPARE(error, int(NoError));
            QVERIFY(replacement.file().write("partial", 7, &error) == 7);
        }
        QCOMPARE(hostNames(host), before);
        QCOMPARE(drives.readFile(Root + Name), previous);
    }

    // A commit whose rename fails (a folder took the entry's name meanwhile)
    // says so and leaves nothing of the new file behind, named or not.
    void failedCommitLeavesNothing() {
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        int error = NoError;
        const Folder root = Folder::open(Root);
        Replacement replacement = root.replace(Name, &error);
        QCOMPARE(error, int(NoError));
        QCOMPARE(replacement.file().write("new", 3, &error), 3);
        drives.makeFolder(Root + Name);
        QVERIFY(replacement.commit() != NoError);
        QCOMPARE(hostNames(host), QStringList{Name});
        QVERIFY(QFileInfo(host + u'/' + Name).isDir());
    }

    // What stands in the entry's place decides; whatever is refused is left
    // as it was.
    void refusedTargets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("attributes");
        QTest::addColumn<int>("expected");
        QTest::newRow("read-only") << "file" << int(AttrReadOnly) << int(ErrAccessDenied);
        QTest::newRow("hidden") << "file" << int(AttrHidden) << int(ErrAccessDenied);
        QTest::newRow("system") << "file" << int(AttrSystem) << int(ErrAccessDenied);
        QTest::newRow("a folder") << "folder" << 0 << int(ErrAccessDenied);
        QTest::newRow("a file in use") << "file" << 0 << int(ErrSharingViolation);
        QTest::newRow("a link to a file in use") << "link" << 0 << int(ErrSharingViolation);
    }
    void refusedTargets() {
        QFETCH(QString, kind);
        QFETCH(int, attributes);
        QFETCH(int, expected);
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        const QString target = Root + Name;
        const QString used = kind == u"link" ? Root + QStringLiteral("source.bin") : target;
        if (kind == u"folder")
            drives.makeFolder(target);
        else
            drives.writeFile(used, "old");
        if (kind == u"link")
            QVERIFY(QFile::link(host + QStringLiteral("/source.bin"), host + u'/' + Name));
        if (attributes)
            QCOMPARE(setFileAttributes(target, std::uint32_t(attributes)), int(NoError));
        int error = NoError;
        const File inUse = expected == ErrSharingViolation ? File::openRead(used, &error) : File();
        const QStringList before = hostNames(host);
        QCOMPARE(replaceWith(Name, "new"), expected);
        QCOMPARE(hostNames(host), before);
        if (kind != u"folder")
            QCOMPARE(drives.readFile(used), QByteArray("old"));
    }

    // A link in the entry's place is replaced by the file, never written through.
    void linkIsReplacedNotFollowed() {
        TempDrives drives;
        const QString host = drives.addDrive(u'X');
        drives.writeFile(Root + QStringLiteral("elsewhere.txt"), "kept");
        QVERIFY(QFile::link(host + QStringLiteral("/elsewhere.txt"), host + u'/' + Name));
        QCOMPARE(replaceWith(Name, "new"), int(NoError));
        QVERIFY(!QFileInfo(host + u'/' + Name).isSymLink());
        QCOMPARE(drives.readFile(Root + Name), QByteArray("new"));
        QCOMPARE(drives.readFile(Root + QStringLiteral("elsewhere.txt")), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(TestReplacement)
#include "tst_replacement.moc"
