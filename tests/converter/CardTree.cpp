#include "CardTree.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(int dirFd, const char* name) {
    QByteArray content;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return QByteArray("<unreadable>");
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, n);
    ::close(fd);
    return content;
}

bool isIndexFile(const QByteArray& relativePath) {
    const QByteArray name = relativePath.mid(relativePath.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return false;
    const QByteArray head = name.mid(dot, 4);
    return head == ".MOI" || head == ".PGI";
}

} // namespace

CardTree CardTree::scan(const QString& hostRoot) {
    CardTree tree;
    QList<QByteArray> pending{QByteArray()};
    const QByteArray root = QFile::encodeName(hostRoot);
    while (!pending.isEmpty()) {
        const QByteArray relative = pending.takeFirst();
        const QByteArray folder = relative.isEmpty() ? root : root + '/' + relative;
        DIR* dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        while (const dirent* d = ::readdir(dir)) {
            const QByteArray name(d->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
            struct stat st;
            if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISLNK(st.st_mode)) {
                char target[4096];
                const ssize_t n = ::readlinkat(::dirfd(dir), d->d_name, target, sizeof target);
                tree.m_links.insert(path, QByteArray(target, n > 0 ? n : 0));
            } else if (S_ISDIR(st.st_mode)) {
                tree.m_folders.append(path);
                pending.append(path);
            } else {
                tree.m_files.insert(path, readAll(::dirfd(dir), d->d_name));
            }
        }
        ::closedir(dir);
    }
    return tree;
}

QStringList CardTree::paths() const {
    QStringList result;
    for (const QByteArray& folder : m_folders)
        result << QFile::decodeName(folder) + u'/';
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
        result << QFile::decodeName(it.key());
    for (auto it = m_links.cbegin(); it != m_links.cend(); ++it)
        result << QFile::decodeName(it.key()) + QStringLiteral(" -> ") +
                      QFile::decodeName(it.value());
    result.sort();
    return result;
}

QByteArray CardTree::file(const QString& relativePath) const {
    return m_files.value(QFile::encodeName(relativePath));
}

QString CardTree::lost(const CardTree& before, const CardTree& after) {
    QMap<QByteArray, int> contents, targets;
    for (const QByteArray& content : after.m_files)
        ++contents[content];
    for (const QByteArray& target : after.m_links)
        ++targets[target];
    QStringList missing;
    auto take = [&missing](QMap<QByteArray, int>& pool, const QByteArray& path,
                           const QByteArray& value) {
        if (pool.value(value) > 0)
            --pool[value];
        else if (!isIndexFile(path))
            missing << QFile::decodeName(path);
    };
    for (auto it = before.m_files.cbegin(); it != before.m_files.cend(); ++it)
        take(contents, it.key(), it.value());
    for (auto it = before.m_links.cbegin(); it != before.m_links.cend(); ++it)
        take(targets, it.key(), it.value());
    return missing.join(u'\n');
}
