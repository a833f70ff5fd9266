// The INI reader on any file: it never fails, a value it finds is one line,
// a file without "=" holds no value, and a key written at the top of any
// file is found there, first occurrence winning.
#include "FuzzCheck.h"
#include "platform/Drives.h"
#include "platform/Ini.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

// In memory where the machine offers it: rewriting a file on a disk may
// wait for the disk at every input.
QTemporaryDir& tree() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_ini-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_ini-XXXXXX"));
    return dir;
}

QString read(const QByteArray& bytes, const QString& section, const QString& key) {
    QFile file(tree().path() + QStringLiteral("/disk_c/SUBST.INI"));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    try {
        return platform::readIniString(QStringLiteral("C:\\SUBST.INI"), section, key,
                                       QStringLiteral("\x01"));
    } catch (...) {
        FUZZ_CHECK(!"readIniString raised");
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const QString root = tree().path();
    QDir().mkpath(root + "/drives");
    QDir().mkpath(root + "/disk_c");
    QFile::link(root + "/disk_c", root + "/drives/c:");
    qputenv("PELMORA_DRIVES", QFile::encodeName(root + "/drives"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Section and key names taken from the input's head, as the file may hold them.
    const qsizetype cut = bytes.indexOf('\n');
    const QString section = QString::fromLatin1(bytes.left(qMax<qsizetype>(cut, 0)).left(8));
    const QString value = read(bytes, section, QStringLiteral("Lecteur"));
    if (value != u"\x01") {
        FUZZ_CHECK(!value.contains(u'\n') && !value.contains(u'\r'));
        FUZZ_CHECK(bytes.contains('='));
    }
    FUZZ_CHECK(read(bytes, section, QStringLiteral("Lecteur")) == value);

    // A plain value in front of anything (NUL bytes left out: they could make
    // the file look like UTF-16).
    QByteArray plain;
    for (const char c : bytes.left(16))
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            plain += c;
    QByteArray tail = bytes;
    tail.replace('\0', ' ');
    FUZZ_CHECK(read("[Disque]\r\nLecteur=" + plain + "\r\n" + tail, QStringLiteral("DISQUE"),
                    QStringLiteral("lecteur")) == QString::fromLatin1(plain));
    return 0;
}
