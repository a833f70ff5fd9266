#include "platform/Ini.h"

#include "platform/Ansi.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {

enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };

struct SettingsText {
    Encoding encoding = Encoding::Ansi;
    QString text;
};

SettingsText decode(const QByteArray& bytes) {
    const auto with = [&](Encoding encoding, QStringDecoder::Encoding codec, int skip) {
        QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
        return SettingsText{encoding, decoder.decode(QByteArrayView(bytes).sliced(skip))};
    };
    if (bytes.startsWith("\xFF\xFE"))
        return with(Encoding::Utf16LE, QStringDecoder::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF"))
        return with(Encoding::Utf16BE, QStringDecoder::Utf16BE, 2);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return with(Encoding::Utf8, QStringDecoder::Utf8, 3);
    return {Encoding::Ansi, fromWindows1252(bytes)};
}

// The bytes of the text in the encoding it was read in, mark included; a
// null array when a character has no byte in the ANSI code page.
QByteArray encode(const SettingsText& settings) {
    const auto with = [&](QStringEncoder::Encoding codec, const char* mark) {
        QStringEncoder encoder(codec, QStringEncoder::Flag::Stateless);
        return QByteArray(mark) + QByteArray(encoder.encode(settings.text));
    };
    switch (settings.encoding) {
    case Encoding::Utf16LE:
        return with(QStringEncoder::Utf16LE, "\xFF\xFE");
    case Encoding::Utf16BE:
        return with(QStringEncoder::Utf16BE, "\xFE\xFF");
    case Encoding::Utf8:
        return with(QStringEncoder::Utf8, "\xEF\xBB\xBF");
    case Encoding::Ansi:
        break;
    }
    bool ok = false;
    QByteArray bytes = toWindows1252(settings.text, &ok);
    return ok ? bytes : QByteArray();
}

bool isBlank(QChar c) {
    return c == u' ' || (c.unicode() >= 0x09 && c.unicode() <= 0x0D);
}

QStringView trimmed(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The text with key set in section, found by the rules the reader follows.
QString withValue(const QString& text, const QString& section, const QString& key,
                  const QString& value) {
    const QString entry = key + u'=' + value;
    // Each line with its end, so that untouched lines are kept byte for byte.
    struct Line {
        qsizetype start, length;
    };
    QList<Line> lines;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        lines << Line{start, end - start};
        if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() &&
            text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    qsizetype sectionLine = -1;
    qsizetype lastInSection = -1; // the section's last line that is not blank
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = trimmed(QStringView(text).sliced(lines[i].start, lines[i].length));
        if (line.isEmpty())
            continue;
        if (line.front() == u'[' && line.lastIndexOf(u']') > 0) {
            if (sectionLine >= 0)
                break; // the first section of that name is the one written
            const QStringView name = trimmed(line.sliced(1, line.lastIndexOf(u']') - 1));
            if (name.compare(section, Qt::CaseInsensitive) == 0)
                sectionLine = lastInSection = i;
            continue;
        }
        if (sectionLine < 0)
            continue;
        lastInSection = i;
        const qsizetype equals = line.indexOf(u'=');
        const QStringView name = equals < 0 ? line : trimmed(line.first(equals));
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return text.left(lines[i].start) + entry + text.mid(lines[i].start + lines[i].length);
    }
    if (sectionLine < 0) {
        QString result = text;
        if (!result.isEmpty() && !result.endsWith(u'\n') && !result.endsWith(u'\r'))
            result += QStringLiteral("\r\n");
        return result + u'[' + section + QStringLiteral("]\r\n") + entry + QStringLiteral("\r\n");
    }
    // After the section's last line, before the blank lines that part it from
    // the next.
    const Line& last = lines[lastInSection];
    const qsizetype end = last.start + last.length;
    if (end >= text.size())
        return text + QStringLiteral("\r\n") + entry + QStringLiteral("\r\n");
    qsizetype next = end + 1;
    if (text[end] == u'\r' && next < text.size() && text[next] == u'\n')
        ++next;
    return text.left(next) + entry + QStringLiteral("\r\n") + text.mid(next);
}

} // namespace

int writeIniString(const QString& iniPath, const QString& section, const QString& key,
                   const QString& value) {
    const QString wantedSection = trimmed(section).toString();
    const QString wantedKey = trimmed(key).toString();
    if (wantedSection.isEmpty() || wantedKey.isEmpty() || wantedKey.contains(u'=') ||
        value.contains(u'\n') || value.contains(u'\r'))
        return ErrInvalidName;
    int error = NoError;
    Folder folder = Folder::open(winpath::folderPart(iniPath), &error);
    if (!folder.isOpen())
        return error;
    const QString name = folder.entryName(winpath::fileName(iniPath));

    SettingsText settings;
    const QByteArray present = folder.readHead(name, MaxIniFileSize + 1, &error);
    if (!present.isNull()) {
        if (present.size() > MaxIniFileSize)
            return ErrFileExists;
        settings = decode(present);
    } else if (error != ErrFileNotFound && error != ErrPathNotFound) {
        return error;
    }
    settings.text = withValue(settings.text, wantedSection, wantedKey, value);
    const QByteArray bytes = encode(settings);
    if (bytes.isNull())
        return ErrInvalidName;

    Replacement replacement = folder.replace(name, &error);
    if (!replacement.isOpen())
        return error;
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written =
            replacement.file().write(bytes.constData() + done, bytes.size() - done, &error);
        if (written < 0)
            return error;
        done += written;
    }
    return replacement.commit();
}

} // namespace platform
