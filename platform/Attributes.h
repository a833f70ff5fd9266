#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <sys/stat.h>

// File attributes as Windows gives them, kept on the host as Wine keeps them:
// read-only in the write permission bits, hidden and system in an extended
// attribute, the folder bit from the file type.
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

// On a FAT volume (a camcorder card, a USB stick) hidden and system are the
// volume's own attribute bits. Tests cannot mount one: they answer here in
// place of the host, for a folder or file open as fd, whether it lies on such
// a volume and what its bits are (0, or an errno). Empty functions restore
// the host's answers.
struct FatVolumeHook {
    std::function<bool(int fd)> isFat;
    std::function<int(int fd, std::uint32_t* bits)> readBits;
};
void setFatVolumeHook(FatVolumeHook hook);

} // namespace platform

// Inside platform/ only: the attributes of a host file.
namespace platform::host {

constexpr const char* DosAttribName = "user.DOSATTRIB";

// Hidden and system bits of the file at host: the extended attribute's text
// "0x%x", or on a FAT volume its attribute bits.
std::uint32_t xattrBits(const QByteArray& host, bool followLinks);

// Hidden and system of the entries of one open folder, each read relative to
// the folder's descriptor (no lookup of the folder's path per entry). It
// learns, at its first read, where the folder's file system keeps them, and
// stops asking one that keeps none.
class HiddenSystemReader {
public:
    // Of the entry name of the folder open as dirFd; a link itself unless
    // followLinks.
    std::uint32_t read(int dirFd, const char* name, bool followLinks);
    // False when the folder's file system keeps neither extended attributes
    // nor FAT bits; then only a name beginning with a dot is hidden.
    bool keeps(int dirFd);

private:
    enum class Store : std::uint8_t { Unknown, Xattr, ProcPath, Fat, None };
    Store store(int dirFd);
    std::uint32_t fromXattr(int dirFd, const char* name, bool followLinks);
    Store m_store = Store::Unknown;
};
// Folder or archive, and read-only, from the file's type and permissions.
std::uint32_t attributesFromStat(const struct stat& st);

} // namespace platform::host
