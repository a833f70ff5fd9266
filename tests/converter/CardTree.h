#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Everything below a host folder, read without following links: files with
// their bytes, folders, and links with their targets. Names are kept as raw
// bytes, so that names holding a backslash or invalid UTF-8 are seen too.
class CardTree {
public:
    static CardTree scan(const QString& hostRoot);

    // Relative paths ("PRG0001/MOV0001.MPG"), folders with a trailing "/",
    // links as "name -> target", sorted.
    QStringList paths() const;
    // The bytes of the file at a relative path, or a null array.
    QByteArray file(const QString& relativePath) const;

    // Empty when every file of before is still here under some name, with all
    // its bytes, or was an index file (extension head ".MOI" or ".PGI");
    // otherwise the lost files, one per line. Links count by their targets.
    static QString lost(const CardTree& before, const CardTree& after);

private:
    QMap<QByteArray, QByteArray> m_files; // relative path -> content
    QMap<QByteArray, QByteArray> m_links; // relative path -> target
    QList<QByteArray> m_folders;
};
