#include "converter/ClipIndex.h"

#include "platform/FileSystem.h"

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
    return QDateTime(QDate(year, month, day),
                     QTime(hour, minute, milliseconds / 1000, milliseconds % 1000), Qt::LocalTime);
}

} // namespace

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

ClipIndex ReadClipIndex(const platform::Folder& folder, const QString& name) {
    // Only the head is needed: the shape byte is the last field read.
    int error = 0;
    return ParseClipIndex(folder.readHead(name, ShapeOffset + 1, &error));
}

} // namespace strovan
