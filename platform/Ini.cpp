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
    QByteArray section;
    QByteArray key;
    std::optional<QByteArray> value;
};

int onEntry(void* user, const char* section, const char* name, const char* value) {
    auto* lookup = static_cast<Lookup*>(user);
    if (!lookup->value && qstricmp(section, lookup->section.constData()) == 0 &&
        qstricmp(name, lookup->key.constData()) == 0)
        lookup->value = QByteArray(value);
    return 1;
}

// UTF-8 when the bytes are valid UTF-8, else the 8-bit code page.
QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
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
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(QFile::encodeName(host).constData(), "rb"));
    if (!file)
        return defaultValue;
    Lookup lookup{section.toUtf8(), key.toUtf8(), std::nullopt};

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
        ini_parse_string(utf8.constData(), onEntry, &lookup);
    } else {
        std::rewind(file.get());
        ini_parse_file(file.get(), onEntry, &lookup);
    }
    return lookup.value ? decodeText(*lookup.value) : defaultValue;
}

} // namespace platform
