// Windows-1252 both ways: every byte has a character and comes back as
// itself; text that encodes comes back as the same text.
#include "FuzzCheck.h"
#include "platform/Ansi.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = platform::fromWindows1252(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    bool ok = false;
    FUZZ_CHECK(platform::toWindows1252(text, &ok) == bytes);
    FUZZ_CHECK(ok);

    // The same bytes read as UTF-16 text: one byte per character when it
    // encodes, and the text back unchanged.
    const QString wide(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    const QByteArray encoded = platform::toWindows1252(wide, &ok);
    FUZZ_CHECK(encoded.size() == wide.size());
    if (ok) {
        FUZZ_CHECK(platform::fromWindows1252(encoded) == wide);
    } else {
        bool some = false;
        for (const QChar c : wide) {
            bool one = false;
            platform::toWindows1252(QString(c), &one);
            some = some || !one;
        }
        FUZZ_CHECK(some); // refused only for a character that has no byte
    }
    return 0;
}
