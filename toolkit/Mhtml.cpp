#include "toolkit/Mhtml.h"

#include "platform/Errors.h"
#include "platform/WholeFile.h"

#include <QByteArrayMatcher>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace toolkit {

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

// A location as the key the references are matched with.
QString urlKey(const QUrl& url) {
    return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments)
        .toString(QUrl::FullyEncoded);
}

QString extensionFor(const QByteArray& type) {
    static const QHash<QByteArray, QString> known{
        {"text/html", QStringLiteral(".html")},    {"text/css", QStringLiteral(".css")},
        {"image/jpeg", QStringLiteral(".jpg")},    {"image/png", QStringLiteral(".png")},
        {"image/gif", QStringLiteral(".gif")},     {"image/svg+xml", QStringLiteral(".svg")},
        {"text/javascript", QStringLiteral(".js")}};
    return known.value(type);
}

// File names already given (in lower case: the browser's file system may
// not tell case), and for each name asked twice the next number to try, so
// that many parts of one name cost a single pass.
struct UsedNames {
    QSet<QString> taken;
    QHash<QString, int> next;
};

// A file name of the part's own: its location's last name in safe characters,
// with an extension the browser recognises.
QString localName(const QString& location, const QByteArray& contentType, qsizetype index,
                  bool page, UsedNames& used) {
    QString name = QUrl(location).fileName();
    for (QChar& c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-' && c != u'_')
            c = u'_';
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("part%1").arg(index);
    const QString lower = name.toLower();
    if (page && !lower.endsWith(u".htm") && !lower.endsWith(u".html"))
        name += QStringLiteral(".html");
    else if (!page && !name.contains(u'.'))
        name += extensionFor(contentType);
    QString unique = name;
    if (used.taken.contains(unique.toLower())) {
        int& n = used.next[name.toLower()];
        n = qMax(n, 2);
        do
            unique = QStringLiteral("%1_%2").arg(n++).arg(name);
        while (used.taken.contains(unique.toLower()));
    }
    used.taken.insert(unique.toLower());
    return unique;
}

// Rewrites, in an HTML or CSS part, every reference that names another part
// (by location, relative or absolute, or by "cid:") to that part's file name.
QByteArray rewriteReferences(const QByteArray& body, const QUrl& base,
                             const QHash<QString, QString>& byLocation,
                             const QHash<QString, QString>& byContentId) {
    static const QRegularExpression quoted(
        QStringLiteral(R"(((?:\bsrc|\bhref|\bbackground|\bposter)\s*=\s*)(["'])(.*?)\2)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression bare(
        QStringLiteral(R"(((?:\bsrc|\bhref|\bbackground|\bposter)\s*=\s*)()([^"'\s>]+))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cssUrl(QStringLiteral(R"((url\(\s*)(["']?)([^"')]+)\2)"),
                                           QRegularExpression::CaseInsensitiveOption);

    auto target = [&](QString reference) -> QString {
        if (reference.startsWith(u'#'))
            return {}; // within the same part: already right
        reference.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        if (reference.startsWith(QStringLiteral("cid:"), Qt::CaseInsensitive))
            return byContentId.value(QUrl::fromPercentEncoding(reference.mid(4).toLatin1()));
        const QUrl resolved = base.resolved(QUrl(reference));
        const QString name = byLocation.value(urlKey(resolved));
        if (name.isEmpty() || resolved.fragment().isEmpty())
            return name;
        return name + u'#' + resolved.fragment(QUrl::FullyEncoded);
    };
    // Latin-1 keeps every byte as it is, whatever the part's charset.
    QString text = QString::fromLatin1(body);
    for (const QRegularExpression* pattern : {&quoted, &bare, &cssUrl}) {
        QString out;
        qsizetype last = 0;
        for (auto it = pattern->globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QString local = target(m.captured(3));
            if (local.isEmpty())
                continue;
            out += QStringView(text).mid(last, m.capturedStart(3) - last);
            out += local;
            last = m.capturedEnd(3);
        }
        out += QStringView(text).mid(last);
        text = out;
    }
    return text.toLatin1();
}

// The charset the message gave, written into the page when it names none: a
// page read from a file has no other way to learn it.
QByteArray withCharset(const QByteArray& page, const QByteArray& charset) {
    static const QRegularExpression declared(QStringLiteral(R"(<meta[^>]+charset)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression head(QStringLiteral(R"(<head[^>]*>)"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (charset.isEmpty())
        return page;
    const QString text = QString::fromLatin1(page);
    if (declared.match(text).hasMatch())
        return page;
    const QByteArray meta = "<meta charset=\"" + charset + "\">";
    const QRegularExpressionMatch m = head.match(text);
    if (!m.hasMatch())
        return meta + page;
    QByteArray out = page;
    out.insert(m.capturedEnd(), meta);
    return out;
}

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

// The parts of a document, the page first; empty when it is not a multipart
// document with a page among its parts. Nothing is decoded yet.
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

// Creates path (never an existing name) with bytes; false unless every byte
// was written and the file closed without error (a full disk shows at close
// on some file systems).
bool writeNewFile(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return ::close(fd) == 0 && done == bytes.size();
}

// The marker of a complete unpack: the page's name, then how many files and
// bytes the unpack wrote. It is written last, so a folder without it, or
// whose files no longer add up to it, is no unpack to use.
const QString Marker = QStringLiteral(".page");

struct Tally {
    qint64 files = 0;
    qint64 bytes = 0;
};

QByteArray markerText(const QString& page, const Tally& tally) {
    return page.toUtf8() + '\n' + QByteArray::number(tally.files) + '\n' +
           QByteArray::number(tally.bytes) + '\n';
}

// Writes the document's parts into folder; the page's file name, or empty.
QString unpackInto(const QByteArray& bytes, const QString& folder, Tally* tally) {
    const QList<PartSpan> parts = partSpans(bytes);
    if (parts.isEmpty())
        return {};
    const QUrl pageUrl(parts.first().location);

    UsedNames used;
    QStringList names;
    QHash<QString, QString> byLocation, byContentId;
    QList<QUrl> bases;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        names << localName(parts[i].location, parts[i].contentType, i, i == 0, used);
        const QUrl location = pageUrl.resolved(QUrl(parts[i].location));
        bases << location;
        if (!parts[i].location.isEmpty() && !byLocation.contains(urlKey(location)))
            byLocation.insert(urlKey(location), names.last());
        if (!parts[i].contentId.isEmpty())
            byContentId.insert(parts[i].contentId, names.last());
    }
    // One part decoded at a time: the unpack needs the document and its
    // largest part, not all of them at once.
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const PartSpan& part = parts[i];
        QByteArray body = decodedBody(bytes, part);
        if (part.contentType == "text/html" || part.contentType == "text/css")
            body = rewriteReferences(body, bases[i], byLocation, byContentId);
        if (i == 0)
            body = withCharset(body, part.charset);
        if (!writeNewFile(folder + u'/' + names[i], body))
            return {};
        tally->files += 1;
        tally->bytes += body.size();
    }
    return names.first();
}

// The page of a complete unpack in folder, or empty.
QString completePage(const QString& folder) {
    QFile marker(folder + u'/' + Marker);
    if (!marker.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = marker.read(4096).split('\n');
    if (lines.size() != 4 || !lines[3].isEmpty())
        return {};
    const QString name = QString::fromUtf8(lines[0]);
    if (name.isEmpty() || name.contains(u'/') || name.startsWith(u'.'))
        return {};
    Tally found;
    const QFileInfoList files =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QFileInfo& file : files) {
        if (file.fileName() == Marker)
            continue;
        found.files += 1;
        found.bytes += file.size();
    }
    if (markerText(name, found) != lines.join('\n') || !QFileInfo::exists(folder + u'/' + name))
        return {};
    return folder + u'/' + name;
}

} // namespace

QList<MhtmlPart> parseMhtml(const QByteArray& bytes) {
    QList<MhtmlPart> parts;
    for (const PartSpan& span : partSpans(bytes)) {
        QByteArray body = decodedBody(bytes, span);
        body.detach(); // the caller's parts may outlive its bytes
        parts.append({span.contentType, span.charset, span.location, span.contentId, body});
    }
    return parts;
}

QString unpackMhtml(const QByteArray& bytes, const QString& folder) {
    Tally tally;
    const QString page = unpackInto(bytes, folder, &tally);
    return page.isEmpty() ? QString() : folder + u'/' + page;
}

UnpackedPage unpackedMhtmlPage(const QString& hostPath) {
    int error = platform::NoError;
    QByteArray bytes = platform::readRegularFile(hostPath, MaxSavedPageSize, &error);
    if (error != platform::NoError)
        return {{}, error};
    // The runtime folder is the user's alone (Qt makes it 0700 when it must).
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    const QString root = runtime + QStringLiteral("/pelmora-documents");
    if (!QDir().mkpath(root))
        return {};
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Once per content: a changed document is unpacked afresh, an unchanged
    // one is reused, whichever window or program opened it first.
    const QString done =
        root + u'/' +
        QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256).toHex());
    if (const QString before = completePage(done); !before.isEmpty())
        return {before, platform::NoError};

    QTemporaryDir work(root + QStringLiteral("/unpack-XXXXXX"));
    if (!work.isValid())
        return {};
    Tally tally;
    const QString page = unpackInto(bytes, work.path(), &tally);
    bytes.clear(); // the document is no longer needed
    if (page.isEmpty() || !writeNewFile(work.path() + u'/' + Marker, markerText(page, tally)))
        return {};
    const QByteArray from = QFile::encodeName(work.path());
    const QByteArray to = QFile::encodeName(done);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::rename(from.constData(), to.constData()) == 0) {
            work.setAutoRemove(false);
            return {done + u'/' + page, platform::NoError};
        }
        if (const QString other = completePage(done); !other.isEmpty())
            return {other, platform::NoError}; // another window got there first
        // An unpack cut short (a full disk, a crash): moved aside whole, so
        // that nobody uses it half removed, then removed.
        QTemporaryDir aside(root + QStringLiteral("/stale-XXXXXX"));
        if (!aside.isValid() ||
            ::rename(to.constData(), QFile::encodeName(aside.path() + QStringLiteral("/old"))
                                         .constData()) != 0)
            break;
    }
    return {};
}

} // namespace toolkit
