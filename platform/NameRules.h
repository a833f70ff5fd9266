#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <utility>
#include <vector>

// How Windows compares, orders and matches the names of a folder's entries.
namespace platform {

// True when name matches a Windows wildcard pattern, without regard to case.
bool matchesWildcard(const QString& name, const QString& pattern);

// The order NTFS keeps: code units compared once upper-cased. Names equal that
// way (only the host can hold both) keep a fixed order by their code units.
bool ntfsLess(const QString& a, const QString& b);
// The name as ntfsLess compares it: every code unit upper-cased. Keys compared
// as strings, then the names themselves, give ntfsLess's order.
QString ntfsKey(const QString& name);

// Sorts items by key(name(item)), names with equal keys by their code units:
// each name is prepared once, instead of once per comparison as a comparing
// function would (a folder of n names is compared n log n times).
template <typename List, typename NameOf, typename KeyOf>
void sortOnKeys(List& items, NameOf&& name, KeyOf&& key) {
    std::vector<std::pair<QString, qsizetype>> keyed;
    keyed.reserve(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i)
        keyed.emplace_back(key(name(items[i])), i);
    std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        return name(items[a.second]) < name(items[b.second]);
    });
    List sorted;
    sorted.reserve(items.size());
    for (const auto& k : keyed)
        sorted.append(std::move(items[k.second]));
    items = std::move(sorted);
}

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
