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

// Reads the index file name of folder; an unreadable file is not valid.
ClipIndex ReadClipIndex(const platform::Folder& folder, const QString& name);

} // namespace strovan
