#include "platform/Ini.h"

#include "platform/Ansi.h"
#include "platform/Drives.h"

#include <QFile>
#include <QStringDecoder>

#include <ini.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace platform {

namespace {

struct Lookup {
    QString section;
    QString key;
    std::optional<QByteArray> value;
};

// UTF-8 when the bytes are valid UTF-8, else the 8-bit code page. Stateless,
// so that an accent ending the text counts as an error rather than waiting
// for bytes that never come.
QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

// Names are decoded before comparing, so that accented names match without
// regard to case whatever the file's encoding.
int onEntry(void* user, const char* section, const char* name, const char* value) {
    auto* lookup = static_cast<Lookup*>(user);
    if (!lookup->value && decodeText(section).compare(lookup->section, Qt::CaseInsensitive) == 0 &&
        decodeText(name).compare(lookup->key, Qt::CaseInsensitive) == 0)
        lookup->value = QByteArray(value);
    return 1;
}

// Feeds the parser line by line from a file or from memory. Leading blanks
// are dropped, as the Windows reader ignores them: otherwise the parser takes
// an indented "key=value" for the continuation of the key above. The tail of
// a line longer than the parser's buffer is skipped, so that it never reads
// as a line of its own.
struct LineSource {
    std::FILE* file = nullptr;
    const char* pos = nullptr;
    const char* end = nullptr;
};

// One piece of a line (at most num - 1 bytes, NUL bytes included); false at
// the end of the text. *ended tells whether nothing of the line is left.
bool nextPiece(char* str, int num, LineSource& source, bool* ended) {
    int n = 0;
    *ended = false;
    while (n < num - 1) {
        int ch;
        if (source.file)
            ch = std::getc(source.file);
        else
            ch = source.pos < source.end ? static_cast<unsigned char>(*source.pos++) : EOF;
        if (ch == EOF) {
            *ended = true;
            break;
        }
        str[n++] = char(ch);
        if (ch == '\n') {
            *ended = true;
            break;
        }
    }
    str[n] = 0;
    return n > 0;
}

char* readLine(char* str, int num, void* stream) {
    auto& source = *static_cast<LineSource*>(stream);
    bool ended = false;
    size_t blanks = 0;
    do {
        if (!nextPiece(str, num, source, &ended))
            return nullptr;
        blanks = std::strspn(str, " \t");
    } while (str[blanks] == 0 && !ended); // blanks only, and the line goes on
    std::memmove(str, str + blanks, std::strlen(str + blanks) + 1);
    char rest[256];
    while (!ended && nextPiece(rest, int(sizeof rest), source, &ended)) {
    }
    return str;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

QString readIniString(const QString& iniPath, const QString& section, const QString& key,
                      const QString& defaultValue) {
    const QString host = toHostPath(iniPath);
    if (host.isEmpty())
        return defaultValue;
    std::unique_ptr<std::FILE, FileCloser> file(
        std::fopen(QFile::encodeName(host).constData(), "rb"));
    if (!file)
        return defaultValue;
    Lookup lookup{section, key, std::nullopt};

    unsigned char bom[2] = {};
    const size_t got = std::fread(bom, 1, 2, file.get());
    const bool utf16le = got == 2 && bom[0] == 0xFF && bom[1] == 0xFE;
    const bool utf16be = got == 2 && bom[0] == 0xFE && bom[1] == 0xFF;
    if (utf16le || utf16be) {
        // A UTF-16 settings file is small: read it whole (within reason).
        constexpr size_t Limit = 16u << 20;
        QByteArray raw(qsizetype(Limit), Qt::Uninitialized);
        const size_t n = std::fread(raw.data(), 1, Limit, file.get());
        raw.truncate(qsizetype(n));
        QStringDecoder decoder(utf16le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        const QByteArray utf8 = QString(decoder.decode(raw)).toUtf8();
        LineSource source{nullptr, utf8.constData(), utf8.constData() + utf8.size()};
        ini_parse_stream(readLine, &source, onEntry, &lookup);
    } else {
        std::rewind(file.get());
        LineSource source{file.get(), nullptr, nullptr};
        ini_parse_stream(readLine, &source, onEntry, &lookup);
    }
    return lookup.value ? decodeText(*lookup.value) : defaultValue;
}

} // namespace platform
