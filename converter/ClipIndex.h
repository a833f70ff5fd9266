#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a camcorder's index file (.MOI) knows of its clip: when it was
// recorded and the shape of its picture. Once the index file is deleted
// nothing else holds either.
namespace platform {
class Folder;
}

namespace strovan {

enum class PictureShape { Unknown, Standard, Wide }; // 4:3, 16:9

struct ClipIndex {
    bool valid = false; // begins with "V6" and reaches the shape byte
    QDateTime recorded; // local time; invalid when a field is out of range
    PictureShape shape = PictureShape::Unknown;
};

// Reads the index from the first bytes of an index file.
ClipIndex ParseClipIndex(const QByteArray& bytes);

// Reads the index file name of folder, looked up in that folder alone. A file
// that could not be read sets *error (a Windows code) and is not valid: what
// it knows is unknown, not absent.
ClipIndex ReadClipIndex(const platform::Folder& folder, const QString& name, int* error = nullptr);

// The instant a camcorder's local clock showed. A time in the hour skipped
// when the clocks go forward was shown by a clock not yet put forward: the
// time before the change plus the time since. A time in the hour repeated
// when they go back is the first of the two.
QDateTime CamcorderClockTime(const QDate& date, const QTime& time);

} // namespace strovan
