#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// How Windows compares, orders and matches the names of a folder's entries.
namespace platform {

// True when name matches a Windows wildcard pattern, without regard to case.
bool matchesWildcard(const QString& name, const QString& pattern);

// The order NTFS keeps: code units compared once upper-cased. Names equal that
// way (only the host can hold both) keep a fixed order by their code units.
bool ntfsLess(const QString& a, const QString& b);

} // namespace platform

// Inside platform/ only.
namespace platform::host {

// Windows wildcard match: '*' any run, '?' any one character.
bool globMatch(QStringView name, QStringView pattern);
// A code unit upper-cased as NTFS compares it.
char16_t upperUnit(QChar c);
// "." or "..".
bool dotName(const QString& name);
bool dotName(const char* name);
// A name of one entry: no separator of either system, not "." or "..".
bool plainName(const QString& name);

} // namespace platform::host
