#include "toolkit/FolderListing.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WorkingFolder.h"

#include <algorithm>

namespace toolkit {

namespace {

QString driveRoot(QChar letter) {
    return QString(letter.toUpper()) + QStringLiteral(":\\");
}

// The name as QString::compare without regard to case sees it: each code
// point case-folded on its own (a pair of surrogates as one code point), so
// that keys compared as strings keep that order.
QString viewKey(const QString& name) {
    QString key(name.size(), Qt::Uninitialized);
    const auto* in = reinterpret_cast<const char16_t*>(name.constData());
    char16_t* out = reinterpret_cast<char16_t*>(key.data());
    for (qsizetype i = 0, n = name.size(); i < n; ++i) {
        const char16_t u = in[i];
        if (u < 0x80)
            out[i] = (u >= u'A' && u <= u'Z') ? char16_t(u + 0x20) : u;
        else if (QChar::isLowSurrogate(u) && i > 0 && QChar::isHighSurrogate(in[i - 1]))
            out[i] = QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(in[i - 1], u)));
        else
            out[i] = char16_t(QChar::toCaseFolded(char32_t(u)));
    }
    return key;
}

} // namespace

// As the user reads names: without regard to case; names equal that way (only
// the host can hold both) in a fixed order all the same.
void sortForView(QStringList& names) {
    platform::sortOnKeys(
        names, [](const QString& n) -> const QString& { return n; }, viewKey);
}

// Makes the drive's current folder the working folder. When the folder
// remembered for the drive has gone meanwhile, its root will do.
QString enterDrive(QChar letter) {
    const QString remembered = platform::driveCurrentFolder(letter);
    int code = platform::setCurrentFolder(remembered);
    if (code != platform::NoError && remembered != driveRoot(letter) &&
        platform::driveReady(letter))
        code = platform::setCurrentFolder(driveRoot(letter));
    platform::raiseIfError(code);
    return platform::currentFolder();
}

} // namespace toolkit
