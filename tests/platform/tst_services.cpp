// File services, errors, INI reading, the ANSI code page and program starts,
// each over a drive table of the test's own.

#include "support/NoDacOverride.h"
#include "support/TempDrives.h"

#include "platform/Ansi.h"
#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Ini.h"
#include "platform/Process.h"
#include "platform/UserFolders.h"
#include "platform/WorkingFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace platform;

namespace {

// The user.DOSATTRIB text of a host file; null when there is none.
QByteArray dosAttrib(const QString& host) {
    char text[64];
    const ssize_t n =
        ::getxattr(QFile::encodeName(host).constData(), "user.DOSATTRIB", text, sizeof text);
    return n < 0 ? QByteArray() : QByteArray(text, n);
}

bool setDosAttrib(const QString& host, const QByteArray& text) {
    return ::setxattr(QFile::encodeName(host).constData(), "user.DOSATTRIB", text.constData(),
                      size_t(text.size()), 0) == 0;
}

void setMode(const QString& host, mode_t mode) {
    ::chmod(QFile::encodeName(host).constData(), mode);
}

mode_t hostMode(const QString& host) {
    struct stat st {};
    ::stat(QFile::encodeName(host).constData(), &st);
    return st.st_mode & 07777;
}

QByteArray readAll(File& file) {
    QByteArray all;
    char chunk[1000];
    int error = 0;
    qint64 n;
    while ((n = file.read(chunk, sizeof chunk, &error)) > 0)
        all.append(chunk, n);
    return n < 0 ? QByteArray("read failed") : all;
}

QString canonical(const QString& hostPath) {
    return QFileInfo(hostPath).canonicalFilePath();
}

constexpr uint Invalid = InvalidAttributes;

} // namespace

class TestServices : public QObject {
    Q_OBJECT

    QList<StartRequest> started;
    QStringList opened;

private slots:
    void videosFolder_data();
    void videosFolder();
    void init() {
        started.clear();
        opened.clear();
        setStartHook([this](const StartRequest& r) {
            started.append(r);
            return true;
        });
        setOpenHook([this](const QString& target) {
            opened.append(target);
            return true;
        });
    }
    void cleanup() {
        setStartHook({});
        setOpenHook({});
    }

    void attributes_data() {
        QTest::addColumn<QString>("winPath");
        QTest::addColumn<uint>("expected");
        QTest::newRow("file") << "C:\\a.txt" << uint(AttrArchive);
        QTest::newRow("folder") << "C:\\Dossier" << uint(AttrDirectory);
        QTest::newRow("no write bits") << "C:\\lecture.txt" << uint(AttrReadOnly | AttrArchive);
        QTest::newRow("dot name") << "C:\\.cache" << uint(AttrHidden | AttrArchive);
        QTest::newRow("dot folder") << "C:\\.config" << uint(AttrHidden | AttrDirectory);
        QTest::newRow("hidden, system")
            << "C:\\sys.txt" << uint(AttrHidden | AttrSystem | AttrArchive);
        // Read-only comes from the write bits alone, whatever the text says.
        QTest::newRow("0x27 kept")
            << "C:\\autres.txt" << uint(AttrHidden | AttrSystem | AttrArchive);
        QTest::newRow("link to read-only")
            << "C:\\lien lecture" << uint(AttrReadOnly | AttrArchive);
        QTest::newRow("link to folder") << "C:\\lien dossier" << uint(AttrDirectory);
        QTest::newRow("broken link") << "C:\\lien mort" << Invalid;
        QTest::newRow("drive not ready") << "Q:\\a.txt" << Invalid;
    }
    void attributes() {
        TempDrives drives;
        const QString c = drives.addDrive(u'C');
        drives.addBrokenDrive(u'Q');
        drives.writeFile("C:\\a.txt", "a");
        drives.makeFolder("C:\\Dossier");
        const QString readOnly = drives.writeFile("C:\\lecture.txt", "r");
        setMode(readOnly, 0444);
        drives.writeFile("C:\\.cache", "h");
        drives.makeFolder("C:\\.config");
        QFile::link(readOnly, c + "/lien lecture");
        QFile::link(c + "/Dossier", c + "/lien dossier");
        QFile::link(c + "/nulle part", c + "/lien mort");
        if (!setDosAttrib(drives.writeFile("C:\\sys.txt", "s"), "0x6") ||
            !setDosAttrib(drives.writeFile("C:\\autres.txt", "o"), "0x27"))
            QSKIP("the temporary folder keeps no extended attributes");

        QFETCH(QString, winPath);
        QFETCH(uint, expected);
        QCOMPARE(uint(fileAttributes(winPath)), expected);
        QCOMPARE(fileExists(winPath), expected != Invalid && !(expected & AttrDirectory));
        QCOMPARE(folderExists(winPath), expected != Invalid && (expected & AttrDirectory));
    }

    // A FAT card keeps hidden and system as its own bits, read through the
    // seam (0x02 hidden, 0x04 system, 0x20 archive as the card sets it). The
    // extended attribute of the folder under the test's card does not count.
    void fatAttributes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("fatBits");
        QTest::addColumn<uint>("expected");
        QTest::newRow("plain") << "MOV001.MOD" << 0x20u << uint(AttrArchive);
        QTest::newRow("hidden") << "MOV002.MOD" << 0x22u << uint(AttrHidden | AttrArchive);
        QTest::newRow("system") << "MGR_INFO" << 0x04u << uint(AttrSystem | AttrArchive);
        QTest::newRow("hidden folder") << "PRG001" << 0x12u << uint(AttrHidden | AttrDirectory);
        QTest::newRow("unreadable bits") << "MOV003.MOD" << 0xFFFFFFFFu << uint(AttrArchive);
    }
    void fatAttributes() {
        QFETCH(QString, name);
        QFETCH(uint, fatBits);
        QFETCH(uint, expected);
        TempDrives drives;
        const QString card = drives.addDrive(u'K');
        const QString host = name == u"PRG001" ? drives.makeFolder("K:\\SD_VIDEO\\" + name)
                                               : drives.writeFile("K:\\SD_VIDEO\\" + name, "m");
        setDosAttrib(host, "0x6"); // not the card's: ignored
        auto pathOf = [](int fd) {
            return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
        };
        int asked = 0;
        setFatVolumeHook({[&](int fd) { return pathOf(fd).startsWith(card); },
                          [&](int fd, std::uint32_t* bits) {
                              ++asked;
                              if (pathOf(fd) != host)
                                  return ENOENT;
                              *bits = fatBits;
                              return fatBits == 0xFFFFFFFFu ? EIO : 0;
                          }});
        const auto restore = qScopeGuard([] { setFatVolumeHook({}); });

        const QString path = "K:\\SD_VIDEO\\" + name;
        QCOMPARE(uint(fileAttributes(path)), expected);
        const QList<DirEntry> listed = listFolder("K:\\SD_VIDEO\\*.*");
        QCOMPARE(listed.size(), 3);
        QCOMPARE(uint(listed.last().attributes), expected);
        const Folder folder = Folder::open("K:\\SD_VIDEO");
        QVERIFY(folder.keepsHiddenSystem());
        QCOMPARE(uint(folder.hiddenSystem(name)), expected & (AttrHidden | AttrSystem));
        QCOMPARE(uint(folder.entryAttributes(name)), expected);
        QCOMPARE(asked, 4); // each reader went to the card
    }

    void setAttributes() {
        TempDrives drives;
        const QString c = drives.addDrive(u'C');
        const QString host = drives.writeFile("C:\\Autorun.inf", "x");
        QFile::link(host, c + "/lien");
        const QString file = QStringLiteral("C:\\autorun.INF");
        if (!setDosAttrib(host, "0x0"))
            QSKIP("the temporary folder keeps no extended attributes");
        // As an ordinary user: the order of the two changes matters then.
        const NoDacOverride asUser;
        if (!asUser.active())
            QSKIP("cannot drop the permission-bypass capabilities here");

        // Read-only clears every write bit; clearing it gives the owner write back.
        setMode(host, 0664);
        QCOMPARE(setFileAttributes(file, AttrReadOnly), 0);
        QCOMPARE(hostMode(host), mode_t(0444));
        QCOMPARE(setFileAttributes(file, AttrArchive), 0);
        QCOMPARE(hostMode(host), mode_t(0644));

        const struct {
            std::uint32_t set;
            const char* text; // nullptr: no extended attribute at all
        } steps[] = {{AttrHidden, "0x2"},
                     {AttrHidden | AttrSystem | AttrReadOnly, "0x6"},
                     {AttrSystem | AttrDirectory | AttrArchive, "0x4"},
                     {0, nullptr},
                     {0, nullptr}}; // removing what is not there is no error
        for (const auto& step : steps) {
            QCOMPARE(setFileAttributes(file, step.set), 0);
            QCOMPARE(dosAttrib(host), QByteArray(step.text));
            const std::uint32_t kept = AttrReadOnly | AttrHidden | AttrSystem;
            QCOMPARE(fileAttributes(file), (step.set & kept) | AttrArchive);
        }
        // Through a link, the target changes.
        QCOMPARE(setFileAttributes("C:\\lien", AttrHidden), 0);
        QCOMPARE(dosAttrib(host), QByteArray("0x2"));
        QCOMPARE(setFileAttributes("C:\\absent", AttrHidden), int(ErrFileNotFound));
    }

    void openReadFails_data() {
        QTest::addColumn<QString>("winPath");
        QTest::addColumn<int>("expectedError");
        QTest::newRow("missing file") << "C:\\absent.txt" << int(ErrFileNotFound);
        QTest::newRow("missing folder") << "C:\\Absent\\a.txt" << int(ErrPathNotFound);
        QTest::newRow("a folder") << "C:\\" << int(ErrAccessDenied);
        QTest::newRow("drive not ready") << "Q:\\a.txt" << int(ErrNotReady);
        QTest::newRow("a pipe, without hanging") << "C:\\tube" << int(ErrAccessDenied);
    }
    void openReadFails() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addBrokenDrive(u'Q');
        ::mkfifo(QFile::encodeName(drives.hostRoot() + "/disk_c/tube").constData(), 0644);
        QFETCH(QString, winPath);
        QFETCH(int, expectedError);
        int error = -1;
        const File file = File::openRead(winPath, &error);
        QCOMPARE(error, expectedError);
        QVERIFY(!file.isOpen());
    }

    void createRefused_data() {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<uint>("attributes"); // given to it before the create
        QTest::addColumn<QString>("winPath");
        QTest::newRow("read-only") << "C:\\Zolvex.exe" << uint(AttrReadOnly) << "C:\\Zolvex.exe";
        QTest::newRow("hidden") << "C:\\Zolvex.exe" << uint(AttrHidden) << "C:\\Zolvex.exe";
        QTest::newRow("system") << "C:\\Zolvex.exe" << uint(AttrSystem) << "C:\\Zolvex.exe";
        QTest::newRow("dot name") << "C:\\.Zolvex" << 0u << "C:\\.Zolvex";
        QTest::newRow("other case") << "C:\\Zolvex.exe" << uint(AttrReadOnly) << "C:\\ZOLVEX.EXE";
    }
    void createRefused() {
        TempDrives drives;
        drives.addDrive(u'C');
        QFETCH(QString, existing);
        QFETCH(uint, attributes);
        QFETCH(QString, winPath);
        const QString host = drives.writeFile(existing, "original");
        if (attributes && setFileAttributes(existing, attributes) != 0)
            QSKIP("the temporary folder keeps no extended attributes");

        int error = -1;
        const File file = File::create(winPath, &error);
        QCOMPARE(error, int(ErrAccessDenied));
        QVERIFY(!file.isOpen());
        QFile original(host);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), QByteArray("original"));
        QCOMPARE(QDir(QFileInfo(host).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void createWhileOpenElsewhere_data() {
        QTest::addColumn<QString>("readerPath"); // the create goes to C:\Site\index.htm
        QTest::newRow("same path") << "C:\\Site\\index.htm";
        QTest::newRow("other case") << "C:\\SITE\\INDEX.HTM";
        QTest::newRow("through a link") << "C:\\lien.htm";
        QTest::newRow("through a second drive letter") << "D:\\index.htm";
    }
    void createWhileOpenElsewhere() {
        TempDrives drives;
        const QString c = drives.addDrive(u'C');
        drives.addDrive(u'D', drives.makeFolder("C:\\Site"));
        QFile::link(drives.writeFile("C:\\Site\\index.htm", "<html>"), c + "/lien.htm");
        QFETCH(QString, readerPath);
        int error = -1;
        {
            File reader = File::openRead(readerPath, &error);
            QCOMPARE(error, 0);
            const File writer = File::create("C:\\Site\\index.htm", &error);
            QCOMPARE(error, int(ErrSharingViolation));
            QVERIFY(!writer.isOpen());
            QCOMPARE(readAll(reader), QByteArray("<html>"));
        }
        // Once the reader has gone, the create goes through; readers then wait.
        const File writer = File::create("C:\\Site\\index.htm", &error);
        QCOMPARE(error, 0);
        const File blocked = File::openRead(readerPath, &error);
        QCOMPARE(error, int(ErrSharingViolation));
        QVERIFY(!blocked.isOpen());
    }

    void createTruncatesAndRoundTrips() {
        TempDrives drives;
        const QString d = drives.addDrive(u'D');
        drives.writeFile("D:\\Autorun.inf", QByteArray(100000, 'z'));
        QByteArray content;
        for (int i = 0; i < 70000; ++i)
            content.append(char(i * 7 % 256)); // NUL and high bytes included
        int error = -1;
        {
            File out = File::create("d:\\AUTORUN.INF", &error);
            QCOMPARE(error, 0);
            QCOMPARE(out.write(content.constData(), content.size(), &error),
                     qint64(content.size()));
            QCOMPARE(out.close(), 0);
        }
        File in = File::openRead("D:\\Autorun.inf", &error);
        QCOMPARE(error, 0);
        QCOMPARE(readAll(in), content);
        File second = File::openRead("D:\\Autorun.inf", &error); // readers share
        QCOMPARE(error, 0);
        QVERIFY(second.isOpen());
        QCOMPARE(QDir(d).entryList(QDir::Files), QStringList{"Autorun.inf"});
    }

    void ioErrorMessages_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("2") << 2 << "Fichier introuvable";
        QTest::newRow("3") << 3 << "Nom de fichier incorrect";
        QTest::newRow("4") << 4 << "Trop de fichiers ouverts";
        QTest::newRow("5") << 5 << "Accès au fichier refusé";
        QTest::newRow("100") << 100 << "Lecture au-delà de la fin de fichier";
        QTest::newRow("101") << 101 << "Disque plein";
        QTest::newRow("106") << 106 << "Saisie numérique incorrecte";
        QTest::newRow("21") << 21 << "Erreur E/S 21";
        QTest::newRow("112") << 112 << "Erreur E/S 112";
    }
    void ioErrorMessages() {
        QFETCH(int, code);
        QFETCH(QString, message);
        try {
            throw IoError(code);
        } catch (const Error& e) { // caught as the base every error shares
            QCOMPARE(e.message(), message);
            QCOMPARE(QString::fromUtf8(e.what()), message);
            QCOMPARE(dynamic_cast<const IoError&>(e).code(), code);
        }
    }

    void ini_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray subst = "[DISQUES]\r\nVirtuel=X:\r\n";
        QTest::newRow("found") << subst << "DISQUES"
                               << "Virtuel"
                               << "X:";
        QTest::newRow("case ignored") << subst << "disques"
                                      << "VIRTUEL"
                                      << "X:";
        QTest::newRow("missing section") << subst << "AUTRES"
                                         << "Virtuel"
                                         << "défaut";
        QTest::newRow("missing key") << subst << "DISQUES"
                                     << "Reel"
                                     << "défaut";
        QTest::newRow("key of another section")
            << QByteArray("[A]\nVirtuel=Y:\n[DISQUES]\n") << "DISQUES"
            << "Virtuel"
            << "défaut";
        QTest::newRow("empty file") << QByteArray() << "DISQUES"
                                    << "Virtuel"
                                    << "défaut";
        QTest::newRow("first occurrence wins")
            << QByteArray("[DISQUES]\nVirtuel=X:\nVirtuel=Y:\n[disques]\nvirtuel=Z:\n") << "DISQUES"
            << "Virtuel"
            << "X:";
        QTest::newRow("blanks around") << QByteArray("[DISQUES]\n Virtuel = X: \n") << "DISQUES"
                                       << "Virtuel"
                                       << "X:";
        // The Windows reader ignores indentation: no continuation of the key above.
        QTest::newRow("indented key")
            << QByteArray("[DISQUES]\nReel=C:\n\tVirtuel=X:\n") << "DISQUES"
            << "Virtuel"
            << "X:";
        // The parser's buffer ends right before "Virtuel=Q:".
        QTest::newRow("tail of an overlong line")
            << "[DISQUES]\nNote=" + QByteArray(194, 'a') + "Virtuel=Q:\nVirtuel=X:\n"
            << "DISQUES"
            << "Virtuel"
            << "X:";
        QTest::newRow("1252 value") << QByteArray("[S]\nT=Vid\xe9o \x80\n") << "S"
                                    << "T"
                                    << "Vidéo €";
        QTest::newRow("1252 accent last") << QByteArray("[S]\nT=Tourn\xe9\n") << "S"
                                          << "T"
                                          << "Tourné";
        QTest::newRow("1252 names") << QByteArray("[Unit\xe9]\nCl\xe9=1\n") << "UNITÉ"
                                    << "clé"
                                    << "1";
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBF[DISQUES]\nVirtuel=Été\n") << "DISQUES"
            << "Virtuel"
            << "Été";
        const QString text = QStringLiteral("[Unité]\r\nVirtuel=Été €\r\n");
        QStringEncoder le(QStringEncoder::Utf16LE), be(QStringEncoder::Utf16BE);
        QTest::newRow("UTF-16 LE with BOM")
            << QByteArray("\xFF\xFE") + QByteArray(le(text)) << "UNITÉ"
            << "virtuel"
            << "Été €";
        QTest::newRow("UTF-16 BE with BOM")
            << QByteArray("\xFE\xFF") + QByteArray(be(text)) << "unité"
            << "Virtuel"
            << "Été €";
        QByteArray garbage(20000, Qt::Uninitialized);
        QRandomGenerator random(1234);
        for (char& b : garbage)
            b = char(random.bounded(256));
        QTest::newRow("binary garbage") << garbage << "DISQUES"
                                        << "Virtuel"
                                        << "défaut";
        QTest::newRow("garbage, then the section") << garbage + "\n[DISQUES]\nVirtuel=X:\n"
                                                   << "DISQUES"
                                                   << "Virtuel"
                                                   << "X:";
    }
    void ini() {
        TempDrives drives;
        drives.addDrive(u'C');
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        drives.writeFile("C:\\Suite\\SUBST.INI", content);
        platform::setCurrentFolder("C:\\Suite");
        QCOMPARE(readIniString("c:\\suite\\subst.ini", section, key, "défaut"), expected);
        QCOMPARE(readIniString("SUBST.INI", section, key, "défaut"), expected);
    }

    void iniUnreadable_data() {
        QTest::addColumn<QString>("winPath");
        QTest::newRow("missing file") << "C:\\SUBST.INI";
        QTest::newRow("missing folder") << "C:\\Absent\\SUBST.INI";
        QTest::newRow("a folder") << "C:\\";
        QTest::newRow("drive not ready") << "Q:\\SUBST.INI";
        // Neither may block nor run for ever.
        QTest::newRow("named pipe") << "C:\\tube";
        QTest::newRow("link to an endless device") << "C:\\zero.ini";
        QTest::newRow("one byte over the size limit") << "C:\\grand.ini";
    }
    void iniUnreadable() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addBrokenDrive(u'Q');
        const QByteArray root = QFile::encodeName(drives.hostRoot() + "/disk_c/");
        QCOMPARE(::mkfifo(root + "tube", 0644), 0);
        QCOMPARE(::symlink("/dev/zero", root + "zero.ini"), 0);
        const QByteArray wanted = "[DISQUES]\nVirtuel=X:\n";
        QByteArray limit = "[Grand]\n" + QByteArray(MaxIniFileSize - 8 - wanted.size(), '\n');
        drives.writeFile("C:\\limite.ini", limit + wanted);
        drives.writeFile("C:\\grand.ini", limit + ' ' + wanted);
        QCOMPARE(readIniString("C:\\limite.ini", "DISQUES", "Virtuel"), QStringLiteral("X:"));
        QFETCH(QString, winPath);
        QCOMPARE(readIniString(winPath, "DISQUES", "Virtuel", "X:"), QStringLiteral("X:"));
        QCOMPARE(readIniString(winPath, "DISQUES", "Virtuel"), QString());
    }

    void ansi_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("accents") << "Été à Noël" << true << QByteArray("\xc9t\xe9 \xe0 No\xebl");
        QTest::newRow("euro") << "5 €" << true << QByteArray("5 \x80");
        QTest::newRow("ligature, quotes")
            << "Œuvre “x”" << true << QByteArray("\x8cuvre \x93x\x94");
        QTest::newRow("omega") << "Ω" << false << QByteArray("?");
        QTest::newRow("outside the basic plane") << "a\U0001F600" << false << QByteArray("a??");
    }
    void ansi() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        bool gotOk = !ok;
        const QByteArray encoded = toWindows1252(text, &gotOk);
        QCOMPARE(gotOk, ok);
        QCOMPARE(encoded, bytes);
        if (ok)
            QCOMPARE(fromWindows1252(encoded), text);
    }

    void ansiEveryByteRoundTrips() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = fromWindows1252(all);
        QCOMPARE(text.size(), 256);
        bool ok = false;
        QCOMPARE(toWindows1252(text, &ok), all);
        QVERIFY(ok);
    }

    void splitParameters_data() {
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("one") << "MENU" << QStringList{"MENU"};
        QTest::newRow("blanks only") << "  \t " << QStringList{};
        QTest::newRow("several blanks") << "  a \t b  " << QStringList{"a", "b"};
        QTest::newRow("quoted path")
            << "\"C:\\Mes Docs\\Vidéo.htm\" MENU" << QStringList{"C:\\Mes Docs\\Vidéo.htm", "MENU"};
        QTest::newRow("backslashes kept")
            << "C:\\Suite\\ D:\\" << QStringList{"C:\\Suite\\", "D:\\"};
        QTest::newRow("empty quotes") << "\"\" x" << QStringList{"", "x"};
        QTest::newRow("quotes inside") << "a\"b c\"d" << QStringList{"ab cd"};
        QTest::newRow("escaped quote") << "say\\\"hi\\\"" << QStringList{"say\"hi\""};
    }
    void splitParameters() {
        QFETCH(QString, parameters);
        QFETCH(QStringList, arguments);
        QCOMPARE(platform::splitParameters(parameters), arguments);
    }

    void findProgram_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QString in = QStringLiteral("C:\\Suite\\Strovan.2005\\");
        QTest::newRow("extension left off") << "Strovan.EXE" << in + "Strovan";
        QTest::newRow("case ignored") << "strovan.exe" << in + "strovan";
        QTest::newRow("bare name") << "Strovan" << in + "Strovan";
        QTest::newRow("document") << "Strovan.mht" << in + "Strovan.mht";
        QTest::newRow("other extension kept") << "Strovan.com"
                                              << "";
        QTest::newRow("a folder") << "Outils.EXE"
                                  << "";
        QTest::newRow("missing") << "VASK.EXE"
                                 << "";
        QTest::newRow("absolute") << "C:\\Suite\\VASK.EXE"
                                  << "C:\\Suite\\VASK";
    }
    void findProgram() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.writeFile("C:\\Suite\\Strovan.2005\\Strovan", "#!/bin/sh\n");
        drives.writeFile("C:\\Suite\\Strovan.2005\\Strovan.mht", "mht");
        drives.makeFolder("C:\\Suite\\Strovan.2005\\Outils");
        drives.writeFile("C:\\Suite\\VASK", "#!/bin/sh\n");
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(platform::findProgram(name, "C:\\Suite\\Strovan.2005"), expected);
    }

    void shellExecute_data() {
        QTest::addColumn<QString>("program"); // installed, executable, with Strovan.mht beside
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("expectedResult"); // 0: started
        QTest::addColumn<QString>("expectedProgram");
        const QString tool = QStringLiteral("C:\\Suite\\Strovan.2005\\Strovan");
        QTest::newRow("tool") << tool << "Strovan.EXE"
                              << "C:\\Suite\\Strovan.2005" << int(NoError) << tool;
        QTest::newRow("below a drive root")
            << "D:\\Strovan.2005\\Strovan"
            << "Strovan.EXE"
            << "D:\\\\Strovan.2005" << int(NoError) << "D:\\\\Strovan.2005\\Strovan";
        QTest::newRow("blanks and accents") << "C:\\Mes Outils\\Vidéo 2005\\Montage"
                                            << "montage.exe"
                                            << "C:\\Mes Outils\\Vidéo 2005" << int(NoError)
                                            << "C:\\Mes Outils\\Vidéo 2005\\montage";
        QTest::newRow("missing program") << tool << "Autre.EXE"
                                         << "C:\\Suite\\Strovan.2005" << int(ErrFileNotFound) << "";
        QTest::newRow("missing folder") << tool << "Strovan.EXE"
                                        << "C:\\Suite\\Absent" << int(ErrPathNotFound) << "";
        QTest::newRow("drive not ready") << tool << "Strovan.EXE"
                                         << "Q:\\Strovan.2005" << int(ErrPathNotFound) << "";
        QTest::newRow("document") << tool << "Strovan.mht"
                                  << "C:\\Suite\\Strovan.2005" << int(NoError) << "";
    }
    void shellExecute() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addDrive(u'D');
        drives.addBrokenDrive(u'Q');
        QFETCH(QString, program);
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QFETCH(int, expectedResult);
        QFETCH(QString, expectedProgram);
        const QString hostProgram = drives.writeFile(program, "#!/bin/sh\n");
        setMode(hostProgram, 0755);
        const QString hostDocument =
            drives.writeFile(program.left(program.lastIndexOf(u'\\')) + "\\Strovan.mht", "<html>");

        const int result = platform::shellExecute(file, "MENU", folder, ShowNormal);
        QCOMPARE(result, expectedResult);
        const bool document = file.endsWith(".mht");
        QCOMPARE(opened, document ? QStringList{hostDocument} : QStringList{});
        QCOMPARE(started.size(), expectedProgram.isEmpty() ? 0 : 1);
        if (started.isEmpty())
            return;
        const StartRequest& r = started.first();
        QCOMPARE(r.program, expectedProgram);
        QCOMPARE(r.arguments, QStringList{"MENU"});
        QCOMPARE(r.workingFolder, folder); // exactly as given
        QCOMPARE(canonical(r.hostProgram), canonical(hostProgram));
        QCOMPARE(canonical(r.hostWorkingFolder), canonical(QFileInfo(hostProgram).path()));
    }

    void programThatCannotRunIsRefused() {
        // Not handed to the opener: the caller must know nothing started.
        TempDrives drives;
        drives.addDrive(u'C');
        const QString host = drives.writeFile("C:\\Suite\\Quorel\\Quorel", "#!/bin/sh\n");
        setMode(host, 0644);
        QCOMPARE(platform::shellExecute("Quorel.EXE", "MENU", "C:\\Suite\\Quorel", ShowNormal),
                 int(ErrAccessDenied));
        QVERIFY(started.isEmpty());
        QVERIFY(opened.isEmpty());
    }

    void shellExecuteReallyStarts() {
        // A real detached start, no recording: the program writes where it runs
        // and what it got.
        cleanup();
        TempDrives drives;
        const QString d = drives.addDrive(u'D');
        const QString host = drives.writeFile(
            "D:\\Strovan 2005\\Strovan",
            "#!/bin/sh\n{ pwd -P; for a in \"$@\"; do echo \"[$a]\"; done; } > sortie.tmp\n"
            "mv sortie.tmp sortie.txt\n");
        setMode(host, 0755);
        const int result = platform::shellExecute("strovan.EXE", "MENU \"a  b\"",
                                                  "D:\\\\Strovan 2005", ShowNormal);
        QCOMPARE(result, int(NoError));
        const QString out = d + "/Strovan 2005/sortie.txt";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 20000);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 canonical(d + "/Strovan 2005") + "\n[MENU]\n[a  b]\n");
    }

    void startProgram() {
        TempDrives drives;
        drives.addDrive(u'C');
        setMode(drives.writeFile("C:\\Suite\\VASK", "x"), 0755);
        const QStringList arguments{"C:\\Mes Docs\\Vidéo.htm", "\"x\" y", ""};
        QCOMPARE(platform::startProgram("VASK.EXE", arguments, "C:\\Suite"), 0);
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().arguments, arguments); // kept apart, never re-split
        QCOMPARE(started.first().workingFolder, QStringLiteral("C:\\Suite"));

        QCOMPARE(platform::startProgram("Absent.EXE", {}, "C:\\Suite"), int(ErrFileNotFound));
        QCOMPARE(platform::startProgram("C:\\Suite\\VASK.EXE", {}, "C:\\Absent"),
                 int(ErrPathNotFound));
        QCOMPARE(started.size(), 1);
        setStartHook([](const StartRequest&) { return false; });
        QVERIFY(platform::startProgram("VASK.EXE", {}, "C:\\Suite") != 0);
        QCOMPARE(platform::shellExecute("VASK.EXE", "", "C:\\Suite", ShowNormal),
                 int(ErrAccessDenied));
    }

    void openDocument() {
        TempDrives drives;
        drives.addDrive(u'C');
        drives.addBrokenDrive(u'Q');
        const QString host = drives.writeFile("C:\\Suite\\Tavrin.htm", "<html>");
        QCOMPARE(platform::openDocument("c:\\suite\\TAVRIN.HTM"), int(NoError));
        QCOMPARE(platform::openDocument("C:\\Suite\\PresRequis.pdf"), int(ErrFileNotFound));
        QCOMPARE(platform::openDocument("Q:\\Tavrin.htm"), int(ErrFileNotFound));
        QCOMPARE(platform::openDocument(QString()), int(ErrFileNotFound));
        const QString url = QStringLiteral("http://www.exemple.example/page?a=1&b=é");
        QCOMPARE(platform::openUrl(url), int(NoError));
        QCOMPARE(opened, (QStringList{host, url}));
        setOpenHook([](const QString&) { return false; });
        QCOMPARE(platform::openDocument("C:\\Suite\\Tavrin.htm"), int(ErrAccessDenied));
        QCOMPARE(platform::openUrl(url), int(ErrAccessDenied));
    }
};

void TestServices::videosFolder_data() {
    QTest::addColumn<QString>("userDirs");    // the desktop's user-dirs.dirs; empty: none
    QTest::addColumn<QStringList>("folders"); // below the home folder
    QTest::addColumn<QString>("videos");      // below the home folder, or absolute
    QTest::newRow("named by the desktop") << "XDG_VIDEOS_DIR=\"$HOME/Films de famille\"\n"
                                          << QStringList{"Vidéos"} << "Films de famille";
    QTest::newRow("an absolute folder") << "XDG_VIDEOS_DIR=\"/srv/videos\"\n"
                                        << QStringList{} << "/srv/videos";
    QTest::newRow("the home itself means none") << "XDG_VIDEOS_DIR=\"$HOME/\"\n"
                                                << QStringList{"Videos"} << "Videos";
    QTest::newRow("French before English") << "" << QStringList{"Videos", "Vidéos"} << "Vidéos";
    QTest::newRow("neither yet") << "" << QStringList{} << "Vidéos";
}

void TestServices::videosFolder() {
    QFETCH(QString, userDirs);
    QFETCH(QStringList, folders);
    QFETCH(QString, videos);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        if (oldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig);
    });
    for (const QString& folder : folders)
        QVERIFY(QDir(home.path()).mkpath(folder));
    if (!userDirs.isEmpty()) {
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral(".config")));
        QFile file(home.path() + QStringLiteral("/.config/user-dirs.dirs"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# written by the desktop\n" + userDirs.toUtf8());
    }
    QCOMPARE(platform::videosHostFolder(),
             videos.startsWith(u'/') ? videos : home.path() + u'/' + videos);
}

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
