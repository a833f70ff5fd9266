#include "platform/Ini.h"

#include "platform/Ansi.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WholeFile.h"

#include <QStringDecoder>

#include <optional>

namespace platform {

namespace {

// A settings file is read through the one guarded opening: a named pipe
// never waits for a writer, and a link to a device or a huge file is not
// read at all.
std::optional<QByteArray> readSettingsFile(const QString& host) {
    int error = NoError;
    QByteArray bytes = readRegularFile(host, MaxIniFileSize, &error);
    if (error != NoError)
        return std::nullopt;
    return bytes;
}

QString decodeSettings(const QByteArray& bytes) {
    const auto decode = [&](QStringDecoder::Encoding encoding, int skip) {
        QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
        return QString(decoder.decode(QByteArrayView(bytes).sliced(skip)));
    };
    if (bytes.startsWith("\xFF\xFE"))
        return decode(QStringDecoder::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF"))
        return decode(QStringDecoder::Utf16BE, 2);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decode(QStringDecoder::Utf8, 3);
    // Text without a mark is in the ANSI code page, even when it happens to
    // be valid UTF-8.
    return fromWindows1252(bytes);
}

// Tab, line feed, vertical tab, form feed, carriage return and space. The
// Ctrl-Z of old DOS files is kept as an ordinary character.
bool isBlank(QChar c) {
    return c == u' ' || (c.unicode() >= 0x09 && c.unicode() <= 0x0D);
}

QStringView trimmed(QStringView text) {
    qsizetype first = 0, last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

// Accented names also compare without regard to case.
bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The caller receives a C string: a value ends at its first NUL. Quotes
// round the whole of what remains are dropped, blanks inside them kept.
QString valueText(QStringView value) {
    const qsizetype nul = value.indexOf(QChar(u'\0'));
    if (nul >= 0)
        value.truncate(nul);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

// Sections of the same name are searched in turn, so that a key found only
// in a later one is found; NUL is an ordinary character of a section name.
std::optional<QString> findValue(QStringView text, QStringView section, QStringView key) {
    bool inSection = false;
    while (!text.isEmpty()) {
        qsizetype end = 0;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = trimmed(text.first(end));
        text = text.sliced(end < text.size() ? end + 1 : end);
        if (line.isEmpty())
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.lastIndexOf(u']');
            if (close > 0) {
                inSection = sameName(trimmed(line.sliced(1, close - 1)), section);
                continue;
            }
            // Without its bracket the line is a key of the current section.
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        QStringView name = equals < 0 ? line : trimmed(line.first(equals));
        // Names compare as C strings: a NUL ends the file's name where it
        // stands, blanks before it included; "=value" is the empty name's.
        if (const qsizetype nul = name.indexOf(QChar(u'\0')); nul >= 0)
            name.truncate(nul);
        if (!sameName(name, key))
            continue;
        // A key without "=" has no value, and hides a later one.
        if (equals < 0)
            return std::nullopt;
        return valueText(trimmed(line.sliced(equals + 1)));
    }
    return std::nullopt;
}

} // namespace

QString readIniString(const QString& iniPath, const QString& section, const QString& key,
                      const QString& defaultValue) {
    // The names asked for are C strings too: each ends at its first NUL.
    const auto asAsked = [](const QString& name) {
        const qsizetype nul = name.indexOf(QChar(u'\0'));
        return trimmed(nul < 0 ? QStringView(name) : QStringView(name).first(nul));
    };
    const QStringView wantedSection = asAsked(section);
    // An empty key, or one of blanks only, asks for the line "=value".
    const QStringView wantedKey = asAsked(key);
    if (wantedSection.isEmpty())
        return defaultValue;
    const QString host = toHostPath(iniPath);
    if (host.isEmpty())
        return defaultValue;
    const std::optional<QByteArray> bytes = readSettingsFile(host);
    if (!bytes)
        return defaultValue;
    const QString text = decodeSettings(*bytes);
    return findValue(text, wantedSection, wantedKey).value_or(defaultValue);
}

} // namespace platform
