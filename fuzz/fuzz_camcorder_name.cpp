// The camcorder's name mapping: the folder part is kept, a 7-character name
// is left alone, any other becomes its 3-character prefix, a 4-digit decimal
// counter of at most FFF (the camera's three hexadecimal digits when they are
// there), and ".MPG" exactly for a ".MOD" extension head.
#include "converter/CamcorderName.h"
#include "FuzzCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path =
        size % 2 ? QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size))
                 : QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    const QString mapped = strovan::MapCamcorderName(path);
    const qsizetype start = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u':')) + 1;
    const QString name = path.mid(start);
    FUZZ_CHECK(mapped.left(start) == path.left(start));
    if (strovan::CharacterCount(name) == 7) {
        FUZZ_CHECK(mapped == path);
        return 0;
    }
    qsizetype prefix = 0; // three characters, a surrogate pair being one
    for (int k = 0; k < 3 && prefix < name.size(); ++k)
        prefix += name[prefix].isHighSurrogate() && prefix + 1 < name.size() &&
                          name[prefix + 1].isLowSurrogate()
                      ? 2
                      : 1;
    const QString rest = mapped.mid(start);
    FUZZ_CHECK(rest.left(prefix) == name.left(prefix));
    const QString extension = strovan::Extension(name).toString();
    const bool mod = extension.size() >= 4 &&
                     extension.left(4).compare(QStringLiteral(".MOD"), Qt::CaseInsensitive) == 0;
    FUZZ_CHECK(rest.size() == prefix + (mod ? 8 : 4));
    FUZZ_CHECK(rest.mid(prefix + 4) == (mod ? QStringLiteral(".MPG") : QString()));
    bool number = false;
    const int counter = rest.mid(prefix, 4).toInt(&number, 10);
    FUZZ_CHECK(number && counter >= 0 && counter <= 0xFFF);

    static const QString hex = QStringLiteral("0123456789ABCDEF");
    if (prefix == 3 && name.size() >= 6 && hex.contains(name[3]) && hex.contains(name[4]) &&
        hex.contains(name[5]))
        FUZZ_CHECK(counter == hex.indexOf(name[3]) * 256 + hex.indexOf(name[4]) * 16 +
                                  int(hex.indexOf(name[5])));
    return 0;
}
