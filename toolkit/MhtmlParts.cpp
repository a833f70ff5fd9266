#include "toolkit/MhtmlParts.h"
#include "toolkit/Mhtml.h"

#include <QByteArrayMatcher>
#include <QHash>
#include <QPair>

namespace toolkit {

namespace mhtml {

namespace {

struct Line {
    qsizetype start; // first byte
    qsizetype end;   // past the last byte, line break excluded
    qsizetype next;  // first byte of the next line
};

Line lineAt(const QByteArray& bytes, qsizetype pos) {
    const qsizetype newline = bytes.indexOf('\n', pos);
    qsizetype end = newline < 0 ? bytes.size() : newline;
    const qsizetype next = newline < 0 ? bytes.size() : newline + 1;
    if (end > pos && bytes[end - 1] == '\r')
        --end;
    return {pos, end, next};
}

using Headers = QHash<QByteArray, QByteArray>; // lower-case name -> value

// Reads header lines from pos up to the empty line; returns where the body
// starts. Folded lines are joined.
qsizetype readHeaders(const QByteArray& bytes, qsizetype pos, Headers& headers) {
    QByteArray name;
    while (pos < bytes.size()) {
        const Line line = lineAt(bytes, pos);
        const QByteArray text = bytes.mid(line.start, line.end - line.start);
        pos = line.next;
        if (text.trimmed().isEmpty())
            break;
        if ((text.startsWith(' ') || text.startsWith('\t')) && !name.isEmpty()) {
            headers[name] += ' ' + text.trimmed();
            continue;
        }
        const qsizetype colon = text.indexOf(':');
        if (colon <= 0)
            continue;
        name = text.left(colon).trimmed().toLower();
        if (!headers.contains(name))
            headers.insert(name, text.mid(colon + 1).trimmed());
    }
    return pos;
}

QByteArray mainValue(const QByteArray& header) {
    const qsizetype semicolon = header.indexOf(';');
    return (semicolon < 0 ? header : header.left(semicolon)).trimmed().toLower();
}

QByteArray parameter(const QByteArray& header, const QByteArray& name) {
    const QList<QByteArray> pieces = header.split(';');
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QByteArray piece = pieces[i].trimmed();
        const qsizetype equals = piece.indexOf('=');
        if (equals <= 0 || piece.left(equals).trimmed().toLower() != name)
            continue;
        QByteArray value = piece.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < in.size() && in[i + 1] == '\n') { // soft line break
            i += 1;
        } else if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else {
            out += c; // a lone "=" is kept as written
        }
    }
    return out;
}

QByteArray decodeBody(const QByteArray& body, const QByteArray& encoding) {
    if (encoding == "base64")
        return QByteArray::fromBase64(body);
    if (encoding == "quoted-printable")
        return decodeQuotedPrintable(body);
    return body;
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Where each delimiter line starts, and where the content after it starts:
// a line that holds the delimiter alone (or closing, with "--"), blanks
// around it allowed. The delimiter is searched for, not every line read, so
// that the whole document costs one pass.
QList<QPair<qsizetype, qsizetype>> delimiterLines(const QByteArray& bytes, qsizetype from,
                                                   const QByteArray& delimiter, bool* closed) {
    QList<QPair<qsizetype, qsizetype>> found;
    const QByteArrayMatcher matcher(delimiter);
    *closed = false;
    for (qsizetype hit = matcher.indexIn(bytes, from); hit >= 0;
         hit = matcher.indexIn(bytes, hit + 1)) {
        qsizetype start = hit;
        while (start > from && bytes[start - 1] != '\n' && blank(bytes[start - 1]))
            --start;
        if (start > from && bytes[start - 1] != '\n')
            continue;
        qsizetype pos = hit + delimiter.size();
        const bool closing = bytes.mid(pos, 2) == "--";
        if (closing)
            pos += 2;
        while (pos < bytes.size() && bytes[pos] != '\n' && blank(bytes[pos]))
            ++pos;
        if (pos < bytes.size() && bytes[pos] != '\n')
            continue;
        found.append({start, pos < bytes.size() ? pos + 1 : pos});
        if (closing) {
            *closed = true;
            break;
        }
    }
    return found;
}

} // namespace

QList<PartSpan> partSpans(const QByteArray& bytes) {
    Headers top;
    const qsizetype bodyStart = readHeaders(bytes, 0, top);
    const QByteArray type = top.value("content-type");
    if (!mainValue(type).startsWith("multipart/"))
        return {};
    const QByteArray boundary = parameter(type, "boundary");
    if (boundary.isEmpty())
        return {};
    bool closed = false;
    QList<QPair<qsizetype, qsizetype>> delimiters =
        delimiterLines(bytes, bodyStart, "--" + boundary, &closed);
    if (!closed)
        delimiters.append({bytes.size(), bytes.size()}); // a cut-off last part still counts

    QList<PartSpan> parts;
    for (qsizetype i = 0; i + 1 < delimiters.size(); ++i) {
        const qsizetype start = delimiters[i].second;
        qsizetype end = delimiters[i + 1].first;
        // The line break before a delimiter belongs to the delimiter.
        if (end > start && bytes[end - 1] == '\n')
            --end;
        if (end > start && bytes[end - 1] == '\r')
            --end;
        Headers headers;
        const qsizetype body = qMin(readHeaders(bytes, start, headers), end);
        if (headers.isEmpty() && body >= end)
            continue;
        PartSpan part;
        const QByteArray partType = headers.value("content-type", "text/plain");
        part.contentType = mainValue(partType);
        part.charset = parameter(partType, "charset").toLower();
        part.encoding = mainValue(headers.value("content-transfer-encoding"));
        part.location = QString::fromUtf8(headers.value("content-location"));
        QByteArray id = headers.value("content-id");
        if (id.startsWith('<') && id.endsWith('>'))
            id = id.mid(1, id.size() - 2);
        part.contentId = QString::fromUtf8(id);
        part.bodyStart = body;
        part.bodyEnd = end;
        parts.append(part);
    }

    // The page first: the one the message names as its start, else the first
    // HTML part.
    QByteArray startId = parameter(type, "start");
    if (startId.startsWith('<') && startId.endsWith('>'))
        startId = startId.mid(1, startId.size() - 2);
    qsizetype page = -1;
    for (qsizetype i = 0; i < parts.size() && page < 0 && !startId.isEmpty(); ++i)
        if (parts[i].contentId == QString::fromUtf8(startId))
            page = i;
    for (qsizetype i = 0; i < parts.size() && page < 0; ++i)
        if (parts[i].contentType == "text/html")
            page = i;
    if (page < 0)
        return {};
    parts.move(page, 0);
    return parts;
}

QByteArray decodedBody(const QByteArray& bytes, const PartSpan& part) {
    // The document's own bytes, not a copy: a body kept as is shares them,
    // and lives no longer than the document.
    const QByteArray raw = QByteArray::fromRawData(bytes.constData() + part.bodyStart,
                                                   part.bodyEnd - part.bodyStart);
    return decodeBody(raw, part.encoding);
}

} // namespace mhtml

QList<MhtmlPart> parseMhtml(const QByteArray& bytes) {
    QList<MhtmlPart> parts;
    for (const mhtml::PartSpan& span : mhtml::partSpans(bytes)) {
        QByteArray body = mhtml::decodedBody(bytes, span);
        body.detach(); // the caller's parts may outlive its bytes
        parts.append({span.contentType, span.charset, span.location, span.contentId, body});
    }
    return parts;
}

} // namespace toolkit
