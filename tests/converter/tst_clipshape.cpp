#include "CardStreams.h"
#include "support/TempDrives.h"
#include "converter/ClipIndex.h"
#include "converter/Mpeg2Aspect.h"
#include "platform/FileSystem.h"
#include "platform/FileUpdate.h"

#include <QtTest>

using strovan::PictureShape;

Q_DECLARE_METATYPE(PictureShape)
Q_DECLARE_METATYPE(QList<qint64>)

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
    void readsTheIndex_data();
    void readsTheIndex();
    void widens_data();
    void widens();
    void matchesTheEncoder_data();
    void matchesTheEncoder();
    void stoppedThenFinished();
};

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

// Each row: a program stream, the file offsets of the shape bytes that must
// go from 4:3 to 16:9, and the real headers the fix must meet.
void TestClipShape::widens_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<qint64>>("widened");
    QTest::addColumn<qint64>("found");
    QTest::addColumn<int>("error");
    StreamShape shape;
    shape.groups = 3;
    const TestStream es = VideoStream(shape);
    const QByteArray& v = es.bytes;
    const qint64 second = es.shapeBytes[1] - 7; // where the second header begins
    const QByteArray lookAlike = QByteArray("\x0B\x77", 2) + SequenceHeader(shape) + "\x55\x55";
    auto row = [&](const char* name, const StreamWriter& w, qint64 found = 3) {
        QTest::newRow(name) << w.bytes << w.inFile(es.shapeBytes).mid(0, found) << found << 0;
    };
    for (int k = 1; k <= 11; ++k) {
        StreamWriter w;
        w.pack();
        w.video(v, 0, second + k);
        w.pack();
        w.video(v, second + k, v.size());
        row(qPrintable(QStringLiteral("header cut by a pack after its byte %1").arg(k)), w);
    }
    {
        StreamWriter w;
        w.pack();
        w.video(v, 0, second + 5);
        w.packet(0xC0, lookAlike);
        w.video(v, second + 5, v.size());
        row("header over two video packets, audio between", w);
    }
    {
        StreamWriter w;
        w.pack();
        w.video(v, 0, second + 2);
        w.packet(0xBE, QByteArray(20, char(0xFF)));
        w.video(v, second + 2, second + 6);
        w.pack();
        w.video(v, second + 6, v.size());
        row("header over three video packets", w);
    }
    {
        StreamWriter w;
        w.pack();
        w.packet(0xC0, lookAlike);
        w.pack();
        w.packet(0xBE, lookAlike);
        w.packet(0xBD, lookAlike);
        w.video(v, 0, v.size());
        row("look-alikes in audio, padding and private stream 1; audio first", w);
    }
    {
        StreamWriter w;
        w.pack(true);
        w.video(v, 0, second + 9, 0xE0, true);
        w.pack(true);
        w.packet(0xC0, lookAlike);
        w.video(v, second + 9, v.size(), 0xE0, true);
        row("MPEG-1 packs and packets", w);
    }
    {
        StreamWriter w;
        w.pack(false, 7);
        w.video(v, 0, second + 3);
        w.pack(false, 2);
        w.video(v, second + 3, v.size());
        row("pack stuffing", w);
    }
    {
        StreamWriter w;
        w.pack();
        w.video(v, 0, v.size());
        w.bytes.chop(v.size() - es.shapeBytes[2] - 2); // in the last header's bit rate
        row("truncated inside the last header", w, 2);
    }
    {
        StreamWriter w;
        w.pack();
        w.systemHeader({0xC0, 0xE1, 0xE0});
        w.packet(0xE0, v);
        w.video(v, 0, second + 4, 0xE1);
        w.packet(0xE0, v);
        w.video(v, second + 4, v.size(), 0xE1);
        row("the video stream the system header names", w);
    }
    {
        StreamWriter w;
        w.pack();
        w.video(v, 0, second, 0xE2);
        w.packet(0xE0, v);
        w.video(v, second, v.size(), 0xE2);
        row("the first video stream found", w);
    }
    {
        StreamWriter w;
        w.pack();
        w.video(v, 0, second);
        w.bytes += QByteArray("\x00\x00\x01\x01\x00\x00\x01\xBA\x00", 9); // damaged, and no pack
        w.pack();
        w.video(v, second, v.size());
        row("a damaged packet, then the next pack", w);
    }
    {
        StreamShape wide = shape;
        wide.shape = 3;
        const TestStream already = VideoStream(wide);
        StreamWriter w;
        w.pack();
        w.video(already.bytes, 0, already.bytes.size());
        QTest::newRow("already 16:9") << w.bytes << QList<qint64>() << qint64(3) << 0;
    }
    const int notStream = strovan::ErrNotProgramStream;
    QTest::newRow("elementary stream") << v << QList<qint64>() << qint64(0) << notStream;
    QTest::newRow("other data") << QByteArray("Ceci n'est pas une vidéo.\n").repeated(50)
                                << QList<qint64>() << qint64(0) << notStream;
    QTest::newRow("empty") << QByteArray() << QList<qint64>() << qint64(0) << notStream;
}

void TestClipShape::widens() {
    QFETCH(QByteArray, bytes);
    QFETCH(QList<qint64>, widened);
    QFETCH(qint64, found);
    QFETCH(int, error);
    QByteArray expected = bytes;
    for (const qint64 at : widened)
        expected[at] = char(3 << 4 | (expected[at] & 0x0F));
    TempDrives drives;
    drives.addDrive(u'x');
    // Buffers that cut every header and packet somewhere, and one that holds all.
    for (const qint64 bufferSize :
         {qint64(1), qint64(3), qint64(16), qint64(100), qint64(1) << 20}) {
        QByteArray after;
        const strovan::AspectFix fix = Widen(drives, bytes, bufferSize, {}, &after);
        QCOMPARE(fix.error, error);
        QCOMPARE(fix.headersFound, found);
        QCOMPARE(fix.headersWidened, qint64(widened.size()));
        QCOMPARE(after, expected);
    }
}

// Streams an outside encoder made, with the sequence headers that encoder
// read in them before and after its own 16:9 rewrite.
void TestClipShape::matchesTheEncoder_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("standard");
    QTest::addColumn<qint64>("wide");
    QFile counts(QStringLiteral(ENCODER_STREAMS_DIR "/counts.tsv"));
    QVERIFY(counts.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!counts.atEnd()) {
        const QList<QByteArray> f = counts.readLine().trimmed().split('\t');
        if (f.value(0).startsWith('#') || f.size() < 5)
            continue;
        // Before: all 4:3; after the encoder's rewrite: as many, all 16:9.
        QCOMPARE(f[2].toLongLong() + f[3].toLongLong(), 0);
        QTest::newRow(f[0].constData())
            << QString::fromUtf8(f[0]) << f[1].toLongLong() << f[4].toLongLong();
    }
}

void TestClipShape::matchesTheEncoder() {
    QFETCH(QString, file);
    QFETCH(qint64, standard);
    QFETCH(qint64, wide);
    QFile stream(QStringLiteral(ENCODER_STREAMS_DIR "/") + file);
    QVERIFY(stream.open(QIODevice::ReadOnly));
    const QByteArray bytes = stream.readAll();
    TempDrives drives;
    drives.addDrive(u'x');
    QByteArray after;
    strovan::AspectFix fix = Widen(drives, bytes, qint64(128) << 10, {}, &after);
    QVERIFY(fix.done());
    QCOMPARE(fix.headersFound, standard);
    QCOMPARE(fix.headersWidened, wide);
    // Each change is a shape going from 4:3 to 16:9, nothing else.
    const QList<qint64> changed = Differences(bytes, after);
    QCOMPARE(changed.size(), wide);
    for (const qint64 at : changed)
        QCOMPARE(uchar(after[at]), uchar(bytes[at] + 0x10));
    // Run again: nothing left to widen.
    fix = Widen(drives, after, 4096, {}, &after);
    QCOMPARE(fix.headersWidened, 0);
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
