#pragma once

#include "platform/Attributes.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

struct DirEntry {
    QString name;
    std::uint32_t attributes = 0; // of the entry itself: a link is not followed
    bool isFolder() const { return attributes & AttrDirectory; }
    bool isLink() const { return attributes & AttrReparsePoint; }
};

// Entries of the folder part of pattern whose names match its last part
// ("*" and "?"; "*.*" matches every name, with or without a dot), whatever
// their attributes, sorted as NTFS returns them. "." and ".." come first,
// except at a drive root. A name holding a backslash is left out. Sets *error
// and returns nothing when the folder cannot be listed.
QList<DirEntry> listFolder(const QString& pattern, int* error = nullptr);

class Replacement;

// An open folder whose entries a walk addresses by name: the folder's path is
// looked up once, and its entries need no lookup of their own, however deep
// the folder lies. Renames and deletions follow moveFile and deleteFile.
// Closed by its destructor.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;

    // The folder at a Windows path (a drive root too; a link on the way is
    // followed, as any path is). Sets *error when it cannot be reached.
    static Folder open(const QString& path, int* error = nullptr);
    // The subfolder name of this folder, never through a link: a link to a
    // folder fails with ErrAccessDenied.
    Folder openSubfolder(const QString& name, int* error = nullptr) const;

    bool isOpen() const { return m_fd >= 0; }
    // As listFolder with this folder and mask ("*.*" for every entry). With
    // kindsOnly, the attributes tell only folder, link and file (AttrArchive),
    // which most file systems give with the names: a walk that needs no more
    // saves a lookup or two per entry.
    QList<DirEntry> list(const QString& mask, int* error = nullptr, bool kindsOnly = false) const;
    // Every entry but "." and "..", kinds only (as list with kindsOnly), in
    // the order the file system keeps them: for a view that sorts only what
    // it shows. With foldersOnly, files are passed over before their names
    // are even decoded.
    QList<DirEntry> listUnsorted(bool foldersOnly = false, int* error = nullptr) const;
    // False when the file system here keeps no hidden or system attribute;
    // then only a name beginning with a dot is hidden.
    bool keepsHiddenSystem() const;
    // Hidden and system of an entry (a link as the link itself): what a
    // kinds-only listing leaves out, read for the entries a view shows.
    std::uint32_t hiddenSystem(const QString& name) const;
    // As moveFile and deleteFile, on entries of this folder named exactly
    // (a name holding a separator fails with ErrInvalidName).
    int moveEntry(const QString& from, const QString& to);
    int deleteEntry(const QString& name);
    // Up to size bytes from the start of the file name of this folder, never
    // through a link and never waiting on a pipe; a null array with *error
    // set when it cannot be read.
    QByteArray readHead(const QString& name, qint64 size, int* error) const;

    // The name under which this folder holds name: as written when such an
    // entry exists, else the entry equal to it without regard to case (the
    // first in listing order), else name itself. Reads the folder at most once.
    QString entryName(const QString& name) const;
    // From now on entryName reads the folder once, at its first need, and
    // keeps that reading current through the file system's notices of names
    // added and removed, by whoever adds or removes them: a series of writes
    // into a large folder lists it once. Without notices (none left to this
    // user, say) entryName reads the folder each time, as before.
    void watchNames();
    // Attributes of the entry named exactly name, as fileAttributes gives them
    // (a link followed); InvalidAttributes when there is none.
    std::uint32_t entryAttributes(const QString& name) const;
    // Starts writing a file that is to take the place of the entry name (as
    // entryName finds it): see Replacement.
    Replacement replace(const QString& name, int* error) const;
    // Removes the temporary files that replacements left here when their
    // process was killed on the way (this user's, of processes no longer
    // running); returns how many. Where the file system writes a replacement
    // without a name, only a kill between its naming and its rename leaves one.
    int removeStaleReplacements() const;

private:
    friend class Replacement;
    friend class UpdateFile;
    friend bool readOnlyEntry(const Folder& folder, const QString& name);
    friend struct FolderAccess; // the untouched reading of a card (VerifiedCopy)
    // Calls take with the host name of every entry but "." and ".." (through
    // the watched reading when names are watched); false when the folder
    // cannot be read.
    bool forEachName(const std::function<void(const char*)>& take) const;
    QList<DirEntry> read(const QString& mask, bool kindsOnly, bool foldersOnly, int* error) const;

    struct NameWatch;
    struct NameWatchEnd {
        void operator()(NameWatch* watch) const;
    };

    int m_fd = -1; // open for reading, or O_PATH when the folder may not be read
    QString m_hostPath;
    bool m_driveRoot = false;
    bool m_readable = false;
    mutable host::HiddenSystemReader m_hiddenSystem; // learns the folder's file system once
    mutable std::unique_ptr<NameWatch, NameWatchEnd> m_names;
};

} // namespace platform
