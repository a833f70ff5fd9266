#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG pictures decoded with libjpeg's decompression side.
namespace toolkit {

// Decodes a JPEG picture. A corrupt, truncated or empty picture gives a null
// image and, in *error, the decoder's reason; it never crashes.
QImage decodeJpeg(const QByteArray& data, QString* error = nullptr);

// Reads and decodes a JPEG file (a Qt resource path or a host path).
QImage loadJpeg(const QString& path, QString* error = nullptr);

} // namespace toolkit
