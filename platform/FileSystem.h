#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// Windows file services over the host, addressed by Windows paths. Failures
// are reported as Windows error codes, as everywhere in platform/ (Errors.h).
namespace platform {

enum Attribute : std::uint32_t {
    AttrReadOnly = 0x01,
    AttrHidden = 0x02,
    AttrSystem = 0x04,
    AttrDirectory = 0x10,
    AttrArchive = 0x20,
    AttrReparsePoint = 0x400, // a symbolic link (a junction on Windows)
};
constexpr std::uint32_t InvalidAttributes = 0xFFFFFFFFu;

// Attributes of the file or folder at path, following symbolic links;
// InvalidAttributes when they cannot be read.
std::uint32_t fileAttributes(const QString& path);
// Sets read-only, hidden and system as given (other bits are the file's own).
// Follows symbolic links. Returns a Windows error code.
int setFileAttributes(const QString& path, std::uint32_t attributes);

// True for an existing file (not a folder), as Windows' FileExists.
bool fileExists(const QString& path);
// True for an existing folder.
bool folderExists(const QString& path);

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

// True when name matches a Windows wildcard pattern, without regard to case.
bool matchesWildcard(const QString& name, const QString& pattern);

// Renames (moves) a file or folder. Never replaces an existing target: fails
// with ErrAlreadyExists instead. A link is renamed as the link itself.
int moveFile(const QString& from, const QString& to);

// Deletes a file (a link as the link itself). A read-only file or a folder is
// not deleted: ErrAccessDenied.
int deleteFile(const QString& path);

class File;
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
    // Attributes of the entry named exactly name, as fileAttributes gives them
    // (a link followed); InvalidAttributes when there is none.
    std::uint32_t entryAttributes(const QString& name) const;
    // Starts writing a file that is to take the place of the entry name (as
    // entryName finds it): see Replacement.
    Replacement replace(const QString& name, int* error) const;

private:
    friend class Replacement;
    friend struct FolderAccess; // the untouched reading of a card (VerifiedCopy)
    QList<DirEntry> read(const QString& mask, bool kindsOnly, bool foldersOnly, int* error) const;

    int m_fd = -1; // open for reading, or O_PATH when the folder may not be read
    QString m_hostPath;
    bool m_driveRoot = false;
    bool m_readable = false;
};

// A file opened with Windows sharing rules: readers share with readers; a
// writer wants the file for itself. Closed by its destructor.
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens an existing file for reading, others may read it too.
    static File openRead(const QString& path, int* error);
    // Creates or truncates a file for exclusive read-write access. An existing
    // read-only, hidden or system file, or one open elsewhere, fails with
    // ErrAccessDenied / ErrSharingViolation and is left as it was.
    static File create(const QString& path, int* error);

    bool isOpen() const { return m_fd >= 0; }
    // Bytes read (0 at end of file), or -1 with *error set.
    qint64 read(char* buffer, qint64 size, int* error);
    // Bytes written, or -1 with *error set.
    qint64 write(const char* buffer, qint64 size, int* error);
    // Copies up to size bytes from this file's position to out's inside the
    // system, without passing them through the program. Bytes copied (0 may
    // also mean that the file system cannot tell the end this way: read to be
    // sure), or -1 with *error set: ErrNotSupported when these two files
    // cannot be copied so (nothing was copied then), ErrDiskFull when out's
    // disk is full.
    qint64 copyTo(File& out, qint64 size, int* error);
    // True for a regular file: not a folder, device, pipe or socket.
    bool isRegular() const;
    // Flushes to the disk and closes; returns a Windows error code.
    int close();

private:
    friend class Folder;
    friend class Replacement;
    int m_fd = -1;
};

// A new file that takes the place of a folder's entry only once it is
// completely written: it is written under a temporary name beside the entry,
// flushed, then renamed over it. Until then the entry stays as it was, and a
// replacement given up (destroyed without commit, or whose commit failed)
// leaves no temporary file behind. The entry is replaced as the folder's own:
// a link there is replaced by the file, never written through.
class Replacement {
public:
    Replacement() = default;
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    Replacement(Replacement&& other) noexcept;
    Replacement& operator=(Replacement&& other) noexcept;

    bool isOpen() const { return m_file.isOpen(); }
    // The new file, open for writing.
    File& file() { return m_file; }
    // Flushes and closes the new file and puts it in the entry's place.
    // Returns a Windows error code; on failure the entry is left as it was.
    int commit();

private:
    friend class Folder;
    void discard();

    int m_dirFd = -1; // O_PATH, the folder's own
    QByteArray m_temporary;
    QByteArray m_target;
    File m_file;
    File m_replaced; // the file being replaced, kept locked until the rename
};

// For tests: each read or copy step moves at most limit bytes (0: no limit),
// as a network or FUSE source may.
void setReadLimitForTests(qint64 limit);

} // namespace platform
