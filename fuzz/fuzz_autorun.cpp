// The Autorun.inf writer read back through the disc program's reader: what
// the writer accepts, the reader finds letter for letter under each key.
#include "AutorunIni.h"
#include "FuzzCheck.h"
#include "launcher/AutorunInf.h"
#include "platform/Ansi.h"
#include "platform/WinPath.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Icon path and start page, split at the first NUL, in UTF-8 or UTF-16.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QByteArray first = cut < 0 ? bytes : bytes.left(cut);
    const QByteArray second = cut < 0 ? QByteArray() : bytes.mid(cut + 1);
    auto decode = [&](const QByteArray& part) {
        return size % 2
                   ? QString::fromUtf8(part)
                   : QString(reinterpret_cast<const QChar*>(part.constData()), part.size() / 2);
    };
    const QString icon = decode(first), page = decode(second);

    const QStringList lines = pelmora::AutorunLines(icon, page);
    FUZZ_CHECK(lines.size() == 4);
    QByteArray file;
    try {
        file = pelmora::AutorunBytes(lines);
    } catch (const pelmora::AutorunEncodingError&) {
        return 0; // refused: nothing would be written
    }
    FUZZ_CHECK(file.endsWith("\r\n") && file.count("\r\n") == 4);
    const struct {
        const char* key;
        QString value;
    } expected[] = {
        {"OPEN", QStringLiteral("Zolvex.exe")},
        {"ICON", platform::winpath::fileName(icon)},
        {"HTM", page},
    };
    const std::string_view text(file.constData(), size_t(file.size()));
    for (const auto& entry : expected) {
        const auto found = zolvex::findIniValue(text, "Autorun", entry.key);
        FUZZ_CHECK(found.has_value());
        bool ok = false;
        const QByteArray written = platform::toWindows1252(entry.value, &ok);
        FUZZ_CHECK(ok);
        FUZZ_CHECK(found->text == written.toStdString());
    }
    return 0;
}
