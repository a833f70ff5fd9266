#include "platform/Attributes.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/WinPath.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace platform {

namespace {

constexpr std::uint32_t KeptInXattr = AttrHidden | AttrSystem;

} // namespace

namespace host {

// Hidden and system bits kept in the extended attribute, as text "0x%x".
std::uint32_t xattrBits(const QByteArray& host, bool followLinks) {
    char text[32] = {};
    const ssize_t n = followLinks ? ::getxattr(host.constData(), DosAttribName, text, 31)
                                  : ::lgetxattr(host.constData(), DosAttribName, text, 31);
    if (n <= 0)
        return 0;
    text[n] = 0;
    return std::uint32_t(std::strtoul(text, nullptr, 16)) & KeptInXattr;
}

std::uint32_t attributesFromStat(const struct stat& st) {
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? AttrDirectory : AttrArchive;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        attributes |= AttrReadOnly;
    return attributes;
}

} // namespace host

using host::attributesFromStat;
using host::DosAttribName;
using host::dotName;
using host::xattrBits;

std::uint32_t fileAttributes(const QString& path) {
    const QString host = toHostPath(path);
    if (host.isEmpty())
        return InvalidAttributes;
    const QByteArray h = QFile::encodeName(host);
    struct stat st;
    if (::stat(h.constData(), &st) != 0)
        return InvalidAttributes;
    std::uint32_t attributes = attributesFromStat(st) | xattrBits(h, true);
    const QString name = winpath::fileName(winpath::withoutTrailingBackslash(path));
    if (name.startsWith(u'.') && !dotName(name))
        attributes |= AttrHidden;
    return attributes;
}

int setFileAttributes(const QString& path, std::uint32_t attributes) {
    int error = NoError;
    const QString host = toHostPath(path, &error);
    if (host.isEmpty())
        return error;
    const QByteArray h = QFile::encodeName(host);
    struct stat st;
    if (::stat(h.constData(), &st) != 0)
        return winErrorFromErrno(errno);
    mode_t mode = st.st_mode & 07777;
    if (attributes & AttrReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (!(mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        mode |= S_IWUSR;
    auto applyMode = [&] {
        return mode == (st.st_mode & 07777) || ::chmod(h.constData(), mode) == 0;
    };
    auto applyXattr = [&] {
        const std::uint32_t kept = attributes & KeptInXattr;
        if (kept) {
            char text[16];
            const int len = std::snprintf(text, sizeof text, "0x%x", unsigned(kept));
            return ::setxattr(h.constData(), DosAttribName, text, size_t(len), 0) == 0;
        }
        return ::removexattr(h.constData(), DosAttribName) == 0 || errno == ENODATA ||
               errno == ENOTSUP;
    };
    // The extended attribute needs write access: change it while the file
    // is still (or already) writable.
    const bool gainsWrite = !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && (mode & S_IWUSR);
    const bool done = gainsWrite ? applyMode() && applyXattr() : applyXattr() && applyMode();
    return done ? NoError : winErrorFromErrno(errno);
}

bool fileExists(const QString& path) {
    const std::uint32_t attributes = fileAttributes(path);
    return attributes != InvalidAttributes && !(attributes & AttrDirectory);
}

bool folderExists(const QString& path) {
    const std::uint32_t attributes = fileAttributes(path);
    return attributes != InvalidAttributes && (attributes & AttrDirectory);
}

} // namespace platform
