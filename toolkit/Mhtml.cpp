#include "toolkit/Mhtml.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

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

// A file name of the part's own: its location's last name in safe characters,
// with an extension the browser recognises.
QString localName(const MhtmlPart& part, int index, bool page, QSet<QString>& used) {
    QString name = QUrl(part.location).fileName();
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
        name += extensionFor(part.contentType);
    QString unique = name;
    for (int n = 2; used.contains(unique.toLower()); ++n)
        unique = QStringLiteral("%1_%2").arg(n).arg(name);
    used.insert(unique.toLower());
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

} // namespace

QList<MhtmlPart> parseMhtml(const QByteArray& bytes) {
    Headers top;
    const qsizetype bodyStart = readHeaders(bytes, 0, top);
    const QByteArray type = top.value("content-type");
    if (!mainValue(type).startsWith("multipart/"))
        return {};
    const QByteArray boundary = parameter(type, "boundary");
    if (boundary.isEmpty())
        return {};
    const QByteArray delimiter = "--" + boundary;

    // Where each delimiter line starts and where the content after it starts.
    QList<QPair<qsizetype, qsizetype>> delimiters;
    bool closed = false;
    for (qsizetype pos = bodyStart; pos < bytes.size() && !closed;) {
        const Line line = lineAt(bytes, pos);
        const QByteArray text = bytes.mid(line.start, line.end - line.start).trimmed();
        if (text == delimiter || text == delimiter + "--") {
            delimiters.append({line.start, line.next});
            closed = text.endsWith("--") && text != delimiter;
        }
        pos = line.next;
    }
    if (!closed)
        delimiters.append({bytes.size(), bytes.size()}); // a cut-off last part still counts

    QList<MhtmlPart> parts;
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
        MhtmlPart part;
        const QByteArray partType = headers.value("content-type", "text/plain");
        part.contentType = mainValue(partType);
        part.charset = parameter(partType, "charset").toLower();
        part.location = QString::fromUtf8(headers.value("content-location"));
        QByteArray id = headers.value("content-id");
        if (id.startsWith('<') && id.endsWith('>'))
            id = id.mid(1, id.size() - 2);
        part.contentId = QString::fromUtf8(id);
        part.body = decodeBody(bytes.mid(body, end - body),
                               mainValue(headers.value("content-transfer-encoding")));
        parts.append(part);
    }
    if (parts.isEmpty())
        return {};

    // The page first: the one the message names as its start, else the first
    // HTML part.
    QByteArray startId = parameter(type, "start");
    if (startId.startsWith('<') && startId.endsWith('>'))
        startId = startId.mid(1, startId.size() - 2);
    qsizetype page = -1;
    for (qsizetype i = 0; i < parts.size() && page < 0; ++i)
        if (!startId.isEmpty() && parts[i].contentId == QString::fromUtf8(startId))
            page = i;
    for (qsizetype i = 0; i < parts.size() && page < 0; ++i)
        if (parts[i].contentType == "text/html")
            page = i;
    if (page < 0)
        return {};
    parts.move(page, 0);
    return parts;
}

QString unpackMhtml(const QByteArray& bytes, const QString& folder) {
    QList<MhtmlPart> parts = parseMhtml(bytes);
    if (parts.isEmpty())
        return {};
    const QUrl pageUrl(parts.first().location);

    QSet<QString> used;
    QStringList names;
    QHash<QString, QString> byLocation, byContentId;
    QList<QUrl> bases;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        names << localName(parts[i], int(i), i == 0, used);
        const QUrl location = pageUrl.resolved(QUrl(parts[i].location));
        bases << location;
        if (!parts[i].location.isEmpty() && !byLocation.contains(urlKey(location)))
            byLocation.insert(urlKey(location), names.last());
        if (!parts[i].contentId.isEmpty())
            byContentId.insert(parts[i].contentId, names.last());
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        MhtmlPart& part = parts[i];
        if (part.contentType == "text/html" || part.contentType == "text/css")
            part.body = rewriteReferences(part.body, bases[i], byLocation, byContentId);
        if (i == 0)
            part.body = withCharset(part.body, part.charset);
        QFile file(folder + u'/' + names[i]);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(part.body) != part.body.size())
            return {};
    }
    return folder + u'/' + names.first();
}

QString unpackedMhtmlPage(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
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
    const QString key =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    const QString done = root + u'/' + key;
    const QString marker = QStringLiteral("/.page");
    auto unpackedBefore = [&]() -> QString {
        QFile page(done + marker);
        if (!page.open(QIODevice::ReadOnly))
            return {};
        const QString name = QString::fromUtf8(page.readAll());
        const QString path = done + u'/' + name;
        return !name.isEmpty() && !name.contains(u'/') && QFile::exists(path) ? path : QString();
    };
    if (const QString before = unpackedBefore(); !before.isEmpty())
        return before;

    QTemporaryDir work(root + QStringLiteral("/unpack-XXXXXX"));
    if (!work.isValid())
        return {};
    const QString page = unpackMhtml(bytes, work.path());
    if (page.isEmpty())
        return {};
    QSaveFile pageName(work.path() + marker);
    if (!pageName.open(QIODevice::WriteOnly))
        return {};
    pageName.write(page.section(u'/', -1).toUtf8());
    if (!pageName.commit())
        return {};
    if (QDir().rename(work.path(), done)) {
        work.setAutoRemove(false);
        return done + page.mid(work.path().size());
    }
    return unpackedBefore(); // another window got there first
}

} // namespace toolkit
