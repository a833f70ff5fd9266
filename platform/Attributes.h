#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
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

} // namespace platform

// Inside platform/ only: the attributes of a host file.
namespace platform::host {

constexpr const char* DosAttribName = "user.DOSATTRIB";

// Hidden and system bits kept in the extended attribute, as text "0x%x".
std::uint32_t xattrBits(const QByteArray& host, bool followLinks);
// Folder or archive, and read-only, from the file's type and permissions.
std::uint32_t attributesFromStat(const struct stat& st);

} // namespace platform::host
