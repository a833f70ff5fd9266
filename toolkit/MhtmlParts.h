#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The reading of an MHTML document's structure, for its unpack: where each
// part lies and what its headers say, and its body decoded.
namespace toolkit::mhtml {

// A part as the document holds it: its headers, and where its body lies.
struct PartSpan {
    QByteArray contentType;
    QByteArray charset;
    QByteArray encoding;
    QString location;
    QString contentId;
    qsizetype bodyStart = 0;
    qsizetype bodyEnd = 0;
};

// The parts of a document, the page first; empty when it is not a multipart
// document with a page among its parts. Nothing is decoded yet.
QList<PartSpan> partSpans(const QByteArray& bytes);

// The part's body, decoded (base64, quoted-printable or as is).
QByteArray decodedBody(const QByteArray& bytes, const PartSpan& part);

} // namespace toolkit::mhtml
