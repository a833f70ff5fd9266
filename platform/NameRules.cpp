#include "platform/NameRules.h"

#include <algorithm>

namespace platform {

namespace host {

bool dotName(const QString& name) {
    return name == u"." || name == u"..";
}

bool dotName(const char* name) {
    return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
}

// A name of one entry: no separator of either system, not "." or "..".
bool plainName(const QString& name) {
    return !name.isEmpty() && !dotName(name) && !name.contains(u'\\') && !name.contains(u'/');
}

// The order NTFS keeps: code units compared once upper-cased. Names equal that
// way (only the host can hold both) keep a fixed order by their code units.
char16_t upperUnit(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'a' && u <= u'z') ? char16_t(u - 0x20) : u;
    return c.toUpper().unicode();
}

// Windows wildcard match: '*' any run, '?' any one character.
bool globMatch(QStringView name, QStringView pattern) {
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace host

using host::globMatch;
using host::upperUnit;

bool ntfsLess(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (pa[i] == pb[i])
            continue; // names of one folder share long heads
        const char16_t x = upperUnit(pa[i]), y = upperUnit(pb[i]);
        if (x != y)
            return x < y;
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

QString ntfsKey(const QString& name) {
    QString key(name.size(), Qt::Uninitialized);
    const QChar* in = name.constData();
    char16_t* out = reinterpret_cast<char16_t*>(key.data());
    for (qsizetype i = 0, n = name.size(); i < n; ++i)
        out[i] = upperUnit(in[i]);
    return key;
}

bool matchesWildcard(const QString& name, const QString& pattern) {
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    if (globMatch(name, pattern))
        return true;
    // As on Windows, "name.*" also finds "name" without an extension, and a
    // pattern ending in a dot ("*.") finds names without one.
    if (name.contains(u'.'))
        return false;
    if (pattern.endsWith(u".*"))
        return globMatch(name, QStringView(pattern).chopped(2));
    return pattern.endsWith(u'.') && globMatch(name, QStringView(pattern).chopped(1));
}

} // namespace platform
