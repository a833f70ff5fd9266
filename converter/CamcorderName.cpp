#include "converter/CamcorderName.h"

#include "platform/FileSystem.h"

namespace strovan {

namespace {

// Index of the character after the one at i.
qsizetype NextCharacter(QStringView s, qsizetype i) {
    return i + ((s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ? 2 : 1);
}

// Index in s just past its first n characters (or s.size()).
qsizetype CharacterEnd(QStringView s, qsizetype n) {
    qsizetype i = 0;
    for (; n > 0 && i < s.size(); --n)
        i = NextCharacter(s, i);
    return i;
}

// Value of one counter character: hexadecimal digits in upper case only;
// anything else (lower-case letters, a missing character) counts 0.
int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return 0;
}

bool IsModHead(QStringView extension) {
    auto upper = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') ? char16_t(u - 32) : u;
    };
    return extension.size() >= 4 && extension[0] == u'.' && upper(extension[1]) == u'M' &&
           upper(extension[2]) == u'O' && upper(extension[3]) == u'D';
}

} // namespace

qsizetype CharacterCount(QStringView s) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < s.size(); i = NextCharacter(s, i))
        ++count;
    return count;
}

QStringView Extension(QStringView name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QStringView() : name.mid(dot);
}

// Two rules for a clip, on purpose. The walk takes only what the camera
// writes, ".MOD" exactly: "mov001.mod" or "MOV001.MODX" is some other file and
// stays as it is. The name mapping (IsModHead, used by MapCamcorderName and
// RenameCamcorderFile) gives ".MPG" to any extension whose first four
// characters are ".MOD" in any case, because it maps whatever name it is
// handed. So through the walk only ".MOD" ever reaches the wider rule.
FileKind KindOf(QStringView name) {
    const QStringView extension = Extension(name);
    if (extension == u".MOD")
        return FileKind::Clip;
    const QStringView head = extension.left(4);
    if (head == u".MOI" || head == u".PGI")
        return FileKind::Index;
    return FileKind::Other;
}

QString MapCamcorderName(const QString& path) {
    qsizetype cut = path.size();
    while (cut > 0 && path[cut - 1] != u'\\' && path[cut - 1] != u':')
        --cut;
    const QStringView folder = QStringView(path).left(cut);
    const QStringView name = QStringView(path).mid(cut);
    if (CharacterCount(name) == 7)
        return path;

    // The counter is the 4th, 5th and 6th characters; a character outside
    // the basic plane is no digit, so its first half alone decides.
    const qsizetype prefixEnd = CharacterEnd(name, 3);
    int n = 0;
    qsizetype i = prefixEnd;
    for (int k = 0; k < 3; ++k) {
        const int value = i < name.size() ? DigitValue(name[i].unicode()) : 0;
        n = n * 16 + value;
        if (i < name.size())
            i = NextCharacter(name, i);
    }

    QString result;
    result.reserve(folder.size() + prefixEnd + 8);
    result.append(folder).append(name.left(prefixEnd));
    result.append(QString::number(n).rightJustified(4, u'0'));
    if (IsModHead(Extension(name)))
        result.append(u".MPG");
    return result;
}

int RenameCamcorderFile(const QString& path) {
    return platform::moveFile(path, MapCamcorderName(path));
}

} // namespace strovan
