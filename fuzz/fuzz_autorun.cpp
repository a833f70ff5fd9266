// The Autorun.inf writer read back through the disc program's reader: what
// the writer accepts, in either of its forms, the reader finds letter for
// letter under each key.
#include "AutorunIni.h"
#include "common/AutorunEncoding.h"
#include "FuzzCheck.h"
#include "launcher/AutorunInf.h"
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
    // One form or the other, each line with its CR LF, as the shared
    // definition reads it back: the lines letter for letter, and under
    // each key its value.
    FUZZ_CHECK(pelmora::AutorunPreview(file) == lines);
    const bool unicode = file.startsWith("\xFF\xFE");
    FUZZ_CHECK(unicode == !autorun::fitsCodePage(lines.join(QString()).toStdU16String()));
    FUZZ_CHECK(file.endsWith(unicode ? QByteArray("\r\0\n\0", 4) : QByteArray("\r\n")));
    const struct {
        const char16_t* key;
        QString value;
    } expected[] = {
        {u"OPEN", QStringLiteral("Zolvex.exe")},
        {u"ICON", platform::winpath::fileName(icon)},
        {u"HTM", page},
    };
    const std::string_view text(file.constData(), size_t(file.size()));
    for (const auto& entry : expected) {
        const auto found = zolvex::findIniValue(text, u"Autorun", entry.key);
        FUZZ_CHECK(found.has_value());
        // Compared as UTF-16: a QString made from it would drop a leading U+FEFF.
        FUZZ_CHECK(*found == entry.value.toStdU16String());
        // Whatever is written is a name Windows can store.
        FUZZ_CHECK(entry.value.isEmpty() || pelmora::AutorunNameRefusal(entry.value).isEmpty());
    }
    return 0;
}
