#include "CardStreams.h"
#include "support/TempDrives.h"
#include "converter/ClipIndex.h"
#include "converter/Mpeg2Aspect.h"
#include "platform/FileSystem.h"
#include "platform/FileUpdate.h"

#include <QtTest>

#include <ctime>

using strovan::PictureShape;

Q_DECLARE_METATYPE(PictureShape)

namespace {

const QString ClipPath = QStringLiteral("X:\\MOV001.MOD");

// Widens the clip written with bytes; returns the result and the bytes after.
strovan::AspectFix Widen(TempDrives& drives, const QByteArray& bytes, qint64 bufferSize,
                         const strovan::StopCheck& stop, QByteArray* after) {
    drives.writeFile(ClipPath, bytes);
    int error = 0;
    strovan::AspectFix fix;
    {
        platform::UpdateFile clip = platform::UpdateFile::open(ClipPath, true, &error);
        if (clip.isOpen())
            fix = strovan::WidenClip(clip, stop, bufferSize);
        else
            fix.error = error;
    }
    *after = drives.readFile(ClipPath);
    return fix;
}

// Bytes that differ between two equally long arrays.
QList<qint64> Differences(const QByteArray& a, const QByteArray& b) {
    QList<qint64> at;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            at << i;
    return at;
}

} // namespace

class TestClipShape : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void readsTheIndex_data();
    void readsTheIndex();
    void widens_data();
    void widens();
    void stoppedThenFinished();
};

void TestClipShape::initTestCase() {
    // Paris's rules, for the camcorder's clock times around their changes
    // (written out, so that no time zone data need be installed).
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
}

void TestClipShape::readsTheIndex_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDateTime>("recorded");
    QTest::addColumn<PictureShape>("shape");
    const QDateTime when(QDate(2006, 7, 14), QTime(15, 30, 45, 250), Qt::LocalTime);
    QTest::newRow("PAL 16:9") << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x54) << true << when
                              << PictureShape::Wide;
    QTest::newRow("NTSC 16:9") << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x45) << true << when
                               << PictureShape::Wide;
    QTest::newRow("PAL 4:3") << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x50) << true << when
                             << PictureShape::Standard;
    QTest::newRow("NTSC 4:3") << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x41) << true << when
                              << PictureShape::Standard;
    QTest::newRow("unknown shape")
        << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x52) << true << when << PictureShape::Unknown;
    QTest::newRow("ends before the shape byte")
        << MakeClipIndex(2006, 7, 14, 15, 30, 45250, 0x54, 0x80) << false << QDateTime()
        << PictureShape::Unknown;
    QTest::newRow("no V6") << QByteArray("V5") + MakeClipIndex(2006, 7, 14, 15, 30, 0, 0x54).mid(2)
                           << false << QDateTime() << PictureShape::Unknown;
    QTest::newRow("empty") << QByteArray() << false << QDateTime() << PictureShape::Unknown;
    struct BadDate {
        const char* row;
        int year, month, day, hour, minute, ms;
    };
    for (const BadDate& d :
         {BadDate{"year 1989", 1989, 1, 1, 0, 0, 0}, BadDate{"year 2101", 2101, 1, 1, 0, 0, 0},
          BadDate{"month 13", 2006, 13, 1, 0, 0, 0}, BadDate{"30 February", 2008, 2, 30, 0, 0, 0},
          BadDate{"day 0", 2006, 5, 0, 0, 0, 0}, BadDate{"hour 24", 2006, 5, 1, 24, 0, 0},
          BadDate{"minute 60", 2006, 5, 1, 23, 60, 0},
          BadDate{"second 60", 2006, 5, 1, 23, 59, 60000}})
        QTest::newRow(d.row) << MakeClipIndex(d.year, d.month, d.day, d.hour, d.minute, d.ms, 0x54)
                             << true << QDateTime() << PictureShape::Wide;
    QTest::newRow("29 February of a leap year")
        << MakeClipIndex(2008, 2, 29, 0, 0, 0, 0x54) << true
        << QDateTime(QDate(2008, 2, 29), QTime(0, 0), Qt::LocalTime) << PictureShape::Wide;
    QTest::newRow("year 1990") << MakeClipIndex(1990, 1, 1, 0, 0, 0, 0x54) << true
                               << QDateTime(QDate(1990, 1, 1), QTime(0, 0), Qt::LocalTime)
                               << PictureShape::Wide;
    QTest::newRow("year 2100") << MakeClipIndex(2100, 12, 31, 23, 59, 59999, 0x54) << true
                               << QDateTime(QDate(2100, 12, 31), QTime(23, 59, 59, 999),
                                            Qt::LocalTime)
                               << PictureShape::Wide;
    // In Paris (the test's time zone): the clocks went forward at 02:00 on
    // 26 March 2006 and back at 03:00 on 29 October.
    auto utc = [](int month, int day, int hour, int minute) {
        return QDateTime(QDate(2006, month, day), QTime(hour, minute), Qt::UTC);
    };
    QTest::newRow("the hour skipped: the clock not yet put forward")
        << MakeClipIndex(2006, 3, 26, 2, 30, 0, 0x54) << true << utc(3, 26, 1, 30)
        << PictureShape::Wide;
    QTest::newRow("the first minute skipped")
        << MakeClipIndex(2006, 3, 26, 2, 0, 0, 0x54) << true << utc(3, 26, 1, 0)
        << PictureShape::Wide;
    QTest::newRow("just before the clocks go forward")
        << MakeClipIndex(2006, 3, 26, 1, 59, 0, 0x54) << true << utc(3, 26, 0, 59)
        << PictureShape::Wide;
    QTest::newRow("the hour repeated: its first pass")
        << MakeClipIndex(2006, 10, 29, 2, 30, 0, 0x54) << true << utc(10, 29, 0, 30)
        << PictureShape::Wide;
    QTest::newRow("just after the repeated hour")
        << MakeClipIndex(2006, 10, 29, 3, 0, 0, 0x54) << true << utc(10, 29, 2, 0)
        << PictureShape::Wide;
}

void TestClipShape::readsTheIndex() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(QDateTime, recorded);
    QFETCH(PictureShape, shape);
    // Through the file, as the walk reads it.
    TempDrives drives;
    drives.addDrive(u'x');
    drives.writeFile(QStringLiteral("X:\\MOV001.MOI"), bytes);
    int error = 0;
    const platform::Folder folder = platform::Folder::open(QStringLiteral("X:\\"), &error);
    const strovan::ClipIndex index = strovan::ReadClipIndex(folder, QStringLiteral("MOV001.MOI"));
    QCOMPARE(index.valid, valid);
    QCOMPARE(index.recorded, recorded);
    QCOMPARE(index.shape, valid ? shape : PictureShape::Unknown);
}

void TestClipShape::widens_data() {
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("alreadyWide"); // headers widened by an earlier run
    QTest::addColumn<qint64>("bufferSize");
    const qint64 MiB = qint64(1) << 20;
    QTest::newRow("4:3, one buffer") << 2 << 0 << MiB;
    QTest::newRow("4:3, smallest buffer") << 2 << 0 << qint64(11);
    QTest::newRow("4:3, buffers of 100 bytes") << 2 << 0 << qint64(100);
    // Cut after 1, 2 and 3 bytes of the second header's start code, and
    // between the start code and the shape byte.
    for (int cut : {1, 2, 3, 6})
        QTest::newRow(qPrintable(QStringLiteral("start code cut after %1").arg(cut)))
            << 2 << 0 << qint64(-cut);
    QTest::newRow("already 16:9") << 3 << 0 << MiB;
    QTest::newRow("partly widened before") << 2 << 3 << qint64(64);
}

void TestClipShape::widens() {
    QFETCH(int, shape);
    QFETCH(int, alreadyWide);
    QFETCH(qint64, bufferSize);
    StreamShape wanted;
    wanted.shape = shape;
    TestStream stream = MakeProgramStream(wanted);
    const char wide = char(3 << 4 | wanted.rate);
    for (int i = 0; i < alreadyWide; ++i)
        stream.bytes[stream.shapeBytes[i]] = wide;
    // A negative size cuts the second header's start code after -size bytes.
    if (bufferSize < 0)
        bufferSize = stream.shapeBytes[1] - 7 - bufferSize;
    TempDrives drives;
    drives.addDrive(u'x');
    QByteArray after;
    const strovan::AspectFix fix = Widen(drives, stream.bytes, bufferSize, {}, &after);
    QVERIFY(fix.done());
    QCOMPARE(fix.headersFound, qint64(stream.shapeBytes.size()));
    const QList<qint64> changed = Differences(stream.bytes, after);
    QCOMPARE(fix.headersWidened, qint64(changed.size()));
    for (const qint64 at : stream.shapeBytes)
        QCOMPARE(after[at], wide);
    // Only the shape bits of 4:3 headers changed; audio look-alikes did not.
    QCOMPARE(changed, shape == 3 ? QList<qint64>() : stream.shapeBytes.mid(alreadyWide));
}

void TestClipShape::stoppedThenFinished() {
    const TestStream stream = MakeProgramStream();
    TempDrives drives;
    drives.addDrive(u'x');
    int writes = 0;
    QByteArray after;
    // Stopped at the fourth write, with a buffer seam inside a header.
    const qint64 seam = stream.shapeBytes[2] - 5;
    strovan::AspectFix fix = Widen(
        drives, stream.bytes, seam, [&writes] { return ++writes > 3; }, &after);
    QVERIFY(fix.stopped);
    QCOMPARE(fix.headersWidened, qint64(3));
    QCOMPARE(Differences(stream.bytes, after), stream.shapeBytes.mid(0, 3));
    // A second run finishes the job from there.
    fix = Widen(drives, after, seam, {}, &after);
    QVERIFY(fix.done());
    QCOMPARE(fix.headersWidened, qint64(stream.shapeBytes.size() - 3));
    QCOMPARE(Differences(stream.bytes, after), stream.shapeBytes);
}

QTEST_GUILESS_MAIN(TestClipShape)
#include "tst_clipshape.moc"
