#include "platform/Ansi.h"

namespace platform {

namespace {

// Bytes 0x80-0x9F of Windows-1252; 0 marks the five unused bytes.
constexpr char16_t High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                               0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

QByteArray toWindows1252(const QString& text, bool* ok) {
    QByteArray bytes;
    bytes.reserve(text.size());
    *ok = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // The five unused bytes come back from fromWindows1252 as their C1
        // code points: they go out as those bytes again.
        const bool unusedByte = u >= 0x80 && u < 0xA0 && High[u - 0x80] == 0;
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || unusedByte) {
            bytes.append(char(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32; ++i)
            if (High[i] != 0 && High[i] == u)
                found = i;
        if (found < 0) {
            *ok = false;
            bytes.append('?');
        } else {
            bytes.append(char(0x80 + found));
        }
    }
    return bytes;
}

QString fromWindows1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0 && High[u - 0x80] != 0)
            text.append(QChar(High[u - 0x80]));
        else
            text.append(QChar(u)); // the unused bytes map to their C1 code points
    }
    return text;
}

} // namespace platform
