// The unpack of a large saved web page, as "Aide" does it.
//
//   bench_mhtml make FILE MB   writes a page with 1 MiB pictures, MB in all
//   bench_mhtml unpack FILE    unpacks it into a fresh private folder
//   bench_mhtml names N        unpacks N parts that all bear one name
//
// Peak memory comes from outside, so that the making is not counted:
//   /usr/bin/time -v build/bench/bench_mhtml unpack /dev/shm/aide-200.mht
#include "toolkit/Mhtml.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int make(const QString& path, qint64 megabytes) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    const QByteArray boundary = "----=_Limite";
    // 1 MiB of pictures is 1.35 MiB once in base64 lines.
    const qint64 pictures = qMax<qint64>(1, megabytes * 1000 / 1385);
    QByteArray page = "<html><body>\r\n";
    for (qint64 i = 0; i < pictures; ++i)
        page += "<img src=\"images/photo" + QByteArray::number(i) + ".jpg\">\r\n";
    page += "</body></html>";
    out.write("MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"" + boundary +
              "\"\r\n\r\n--" + boundary +
              "\r\nContent-Type: text/html; charset=\"utf-8\"\r\n"
              "Content-Location: https://site.example/aide/page.htm\r\n\r\n" +
              page + "\r\n");
    QByteArray picture(1 << 20, Qt::Uninitialized);
    for (qint64 i = 0; i < pictures; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(picture.data()),
                                              picture.size() / 4);
        const QByteArray encoded = picture.toBase64();
        out.write("--" + boundary +
                  "\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: base64\r\n"
                  "Content-Location: https://site.example/aide/images/photo" +
                  QByteArray::number(i) + ".jpg\r\n\r\n");
        for (qsizetype at = 0; at < encoded.size(); at += 76)
            out.write(encoded.mid(at, 76) + "\r\n");
    }
    out.write("--" + boundary + "--\r\n");
    return out.flush() ? 0 : 1;
}

// Many parts of one name, as a page that shows one picture many times saves.
int sameNames(int count) {
    QByteArray document = "Content-Type: multipart/related; boundary=B\r\n\r\n--B\r\n"
                          "Content-Type: text/html\r\n\r\n<html></html>\r\n";
    for (int i = 0; i < count; ++i)
        document += "--B\r\nContent-Type: image/jpeg\r\n"
                    "Content-Location: https://site.example/" +
                    QByteArray::number(i) + "/photo.jpg\r\n\r\nx\r\n";
    document += "--B--\r\n";
    QTemporaryDir folder(QStringLiteral("/dev/shm/bench-mhtml-XXXXXX"));
    QElapsedTimer timer;
    timer.start();
    const QString page = toolkit::unpackMhtml(document, folder.path());
    std::printf("%d parts of one name (%lld bytes): %lld ms\n", count,
                qint64(document.size()), timer.elapsed());
    return page.isEmpty() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"make")
        return make(args[2], args[3].toLongLong());
    if (args.size() == 3 && args[1] == u"names")
        return sameNames(args[2].toInt());
    if (args.size() != 3 || args[1] != u"unpack") {
        std::fprintf(stderr, "bench_mhtml make FILE MB | unpack FILE | names N\n");
        return 2;
    }
    QTemporaryDir runtime(QStringLiteral("/dev/shm/bench-mhtml-XXXXXX"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QElapsedTimer timer;
    timer.start();
    const QString page = toolkit::unpackedMhtmlPage(args[2]).page;
    std::printf("unpack: %lld ms, page %s\n", timer.elapsed(), qPrintable(page));
    return page.isEmpty() ? 1 : 0;
}
