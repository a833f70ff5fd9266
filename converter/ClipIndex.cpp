#include "converter/ClipIndex.h"

#include "platform/FileSystem.h"
#include "platform/FileUpdate.h"

namespace strovan {

namespace {

constexpr int ShapeOffset = 0x80;

unsigned byteAt(const QByteArray& bytes, int i) {
    return static_cast<unsigned char>(bytes[i]);
}

unsigned be16(const QByteArray& bytes, int i) {
    return byteAt(bytes, i) << 8 | byteAt(bytes, i + 1);
}

// Every field in range, or no date at all: a half-right date is worse than none.
QDateTime RecordingStart(const QByteArray& bytes) {
    const int year = int(be16(bytes, 6));
    const int month = int(byteAt(bytes, 8));
    const int day = int(byteAt(bytes, 9));
    const int hour = int(byteAt(bytes, 10));
    const int minute = int(byteAt(bytes, 11));
    const int milliseconds = int(be16(bytes, 12));
    if (year < 1990 || year > 2100 || !QDate::isValid(year, month, day) || hour > 23 ||
        minute > 59 || milliseconds >= 60000)
        return {};
    // The camcorder's clock runs on local time.
    return CamcorderClockTime(QDate(year, month, day),
                              QTime(hour, minute, milliseconds / 1000, milliseconds % 1000));
}

// Offset from UTC of local time at an instant, in milliseconds.
qint64 LocalOffsetAt(qint64 instant) {
    return qint64(QDateTime::fromMSecsSinceEpoch(instant, Qt::LocalTime).offsetFromUtc()) * 1000;
}

} // namespace

QDateTime CamcorderClockTime(const QDate& date, const QTime& time) {
    // The clock's reading as if it were UTC; the instant is that minus the
    // offset in force. Clocks change at most once in a day and a half, so the
    // offsets a day before and a day after are the only candidates.
    const qint64 reading = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    constexpr qint64 Day = 24 * 3600 * 1000;
    const qint64 before = reading - LocalOffsetAt(reading - Day);
    const qint64 after = reading - LocalOffsetAt(reading + Day);
    const bool beforeFits = before + LocalOffsetAt(before) == reading;
    const bool afterFits = after + LocalOffsetAt(after) == reading;
    qint64 instant = before; // in the gap, neither fits: the offset before the change
    if (beforeFits && afterFits)
        instant = qMin(before, after); // the repeated hour: its first pass
    else if (afterFits)
        instant = after;
    return QDateTime::fromMSecsSinceEpoch(instant, Qt::LocalTime);
}

ClipIndex ParseClipIndex(const QByteArray& bytes) {
    ClipIndex index;
    if (bytes.size() <= ShapeOffset || !bytes.startsWith("V6"))
        return index;
    index.valid = true;
    index.recorded = RecordingStart(bytes);
    switch (byteAt(bytes, ShapeOffset) & 0x0F) {
    case 0:
    case 1:
        index.shape = PictureShape::Standard;
        break;
    case 4:
    case 5:
        index.shape = PictureShape::Wide;
        break;
    default:
        index.shape = PictureShape::Unknown;
    }
    return index;
}

ClipIndex ReadClipIndex(const platform::Folder& folder, const QString& name, int* error) {
    int failure = 0;
    // Only the head is needed: the shape byte is the last field read.
    QByteArray head(ShapeOffset + 1, '\0');
    qint64 have = 0;
    platform::UpdateFile file = platform::UpdateFile::openIn(folder, name, false, &failure);
    while (file.isOpen() && have < head.size()) {
        const qint64 n = file.readAt(have, head.data() + have, head.size() - have, &failure);
        if (n <= 0)
            break;
        have += n;
    }
    if (error)
        *error = failure;
    if (failure != 0)
        return {};
    head.truncate(have);
    return ParseClipIndex(head);
}

} // namespace strovan
