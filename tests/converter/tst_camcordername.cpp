#include "converter/CamcorderName.h"

#include "support/TempDrives.h"
#include "platform/Errors.h"

#include <QtTest>

using strovan::MapCamcorderName;

class TestCamcorderName : public QObject {
    Q_OBJECT

private slots:
    void mapsTheNameTable_data();
    void mapsTheNameTable();
    void countsCharactersNotBytes_data();
    void countsCharactersNotBytes();
    void keepsTheFolderPartOfFullPaths_data();
    void keepsTheFolderPartOfFullPaths();
    void renamesAFileByItsMappedName();
    void neverReplacesAnExistingTarget();
    void reportsAMissingFile();
};

void TestCamcorderName::mapsTheNameTable_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    const char* const rows[][2] = {
        {"MOV001.MOD", "MOV0001.MPG"},
        {"MOV00A.MOD", "MOV0010.MPG"},
        {"MOV0FF.MOD", "MOV0255.MPG"},
        {"MOV100.MOD", "MOV0256.MPG"},
        {"MOVFFF.MOD", "MOV4095.MPG"},
        {"MOV00a.MOD", "MOV0000.MPG"},
        {"mov001.mod", "mov0001.MPG"},
        {"MOV0A.MOD", "MOV0160.MPG"},
        {"AB.MOD", "AB.0013.MPG"},
        {"MOV001.MODX", "MOV0001.MPG"},
        {"MOV001.TXT", "MOV0001"},
        {"MOV001.MOD.BAK", "MOV0001"},
        {"MOV00G.MOD", "MOV0000.MPG"},
        {"MOV001.mOd", "MOV0001.MPG"},
        {"PRGXYZ.MOD", "PRG0000.MPG"},
        {"PRG001", "PRG0001"},
        {"PRG00B", "PRG0011"},
        {"PRG0011", "PRG0011"},
        {"C:\\cam\\PRG001\\MOV01C.MOD", "C:\\cam\\PRG001\\MOV0028.MPG"},
        {"C:\\cam\\ABC.MOD", "C:\\cam\\ABC.MOD"},
        {"AB", "AB0000"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void TestCamcorderName::mapsTheNameTable() {
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QCOMPARE(MapCamcorderName(argument), expected);
}

void TestCamcorderName::countsCharactersNotBytes_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    // Six characters but more bytes in UTF-8: still a 3 + 3 split.
    QTest::newRow("Vidéos") << u"Vidéos"_qs << u"Vid0000"_qs;
    QTest::newRow("Pho + tos") << u"Photos"_qs << u"Pho0000"_qs;
    QTest::newRow("accented prefix") << u"ÉTÉ00A.MOD"_qs << u"ÉTÉ0010.MPG"_qs;
    QTest::newRow("Cyrillic") << u"Фото01"_qs << u"Фот0001"_qs;
    QTest::newRow("Chinese clip") << u"视频片00B.MOD"_qs << u"视频片0011.MPG"_qs;
    QTest::newRow("Greek counter") << u"MOVΑΒΓ.MOD"_qs << u"MOV0000.MPG"_qs;
    // Seven characters, whatever their bytes: unchanged.
    QTest::newRow("7 accented") << u"Vidéo01"_qs << u"Vidéo01"_qs;
    QTest::newRow("7 Japanese") << u"ビデオ0001"_qs << u"ビデオ0001"_qs;
    // A character outside the basic plane is one character, not two halves.
    QTest::newRow("emoji prefix") << u"🎥AB001.MOD"_qs << u"🎥AB0001.MPG"_qs;
    QTest::newRow("emoji counter") << u"MOV🎥0F.MOD"_qs << u"MOV0015.MPG"_qs;
    QTest::newRow("7 with emoji") << u"🎥🎥🎥0001"_qs << u"🎥🎥🎥0001"_qs;
    QTest::newRow("empty") << QString() << u"0000"_qs;
    QTest::newRow("dot only") << u"."_qs << u".0000"_qs;
}

void TestCamcorderName::countsCharactersNotBytes() {
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QCOMPARE(MapCamcorderName(argument), expected);
}

void TestCamcorderName::keepsTheFolderPartOfFullPaths_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive root") << u"X:\\PRG001"_qs << u"X:\\PRG0001"_qs;
    QTest::newRow("drive relative") << u"X:MOV00F.MOD"_qs << u"X:MOV0015.MPG"_qs;
    QTest::newRow("accented folders") << u"D:\\Vidéos d'été\\PRG002\\MOV0FF.MOD"_qs
                                      << u"D:\\Vidéos d'été\\PRG002\\MOV0255.MPG"_qs;
    // The folder part never counts towards the name part's 7 characters.
    QTest::newRow("7-character folder")
        << u"C:\\PRG0001\\MOV001.MOD"_qs << u"C:\\PRG0001\\MOV0001.MPG"_qs;
    QTest::newRow("dot in folder") << u"C:\\a.MOD\\PRG001"_qs << u"C:\\a.MOD\\PRG0001"_qs;
    QTest::newRow("trailing backslash") << u"C:\\cam\\"_qs << u"C:\\cam\\0000"_qs;
    const QString deep = u"E:\\"_qs + QString(300, u'd') + u"\\PRG00C\\MOVABC.MOD"_qs;
    QTest::newRow("deep path") << deep
                               << u"E:\\"_qs + QString(300, u'd') + u"\\PRG00C\\MOV2748.MPG"_qs;
}

void TestCamcorderName::keepsTheFolderPartOfFullPaths() {
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QCOMPARE(MapCamcorderName(argument), expected);
}

void TestCamcorderName::renamesAFileByItsMappedName() {
    TempDrives drives;
    drives.addDrive(u'x');
    drives.writeFile(u"X:\\Vidéos\\MOV00A.MOD"_qs, "clip");
    drives.writeFile(u"X:\\Vidéos\\ÉTÉ001.mod"_qs, "été");
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\Vidéos\\MOV00A.MOD"_qs), 0);
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\Vidéos\\ÉTÉ001.mod"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\Vidéos\\MOV0010.MPG"_qs), QByteArray("clip"));
    QCOMPARE(drives.readFile(u"X:\\Vidéos\\ÉTÉ0001.MPG"_qs), QByteArray("été"));
    QVERIFY(drives.readFile(u"X:\\Vidéos\\MOV00A.MOD"_qs).isNull());
    // A 7-character name maps to itself: nothing to do, nothing lost.
    drives.writeFile(u"X:\\Vidéos\\ABC.MOD"_qs, "seven");
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\Vidéos\\ABC.MOD"_qs), 0);
    QCOMPARE(drives.readFile(u"X:\\Vidéos\\ABC.MOD"_qs), QByteArray("seven"));
}

void TestCamcorderName::neverReplacesAnExistingTarget() {
    TempDrives drives;
    drives.addDrive(u'x');
    // MOV000 and MOV00a both map to MOV0000.MPG.
    drives.writeFile(u"X:\\PRG001\\MOV000.MOD"_qs, "first");
    drives.writeFile(u"X:\\PRG001\\MOV00a.MOD"_qs, "second");
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\PRG001\\MOV000.MOD"_qs), 0);
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\PRG001\\MOV00a.MOD"_qs),
             int(platform::ErrAlreadyExists));
    QCOMPARE(drives.readFile(u"X:\\PRG001\\MOV0000.MPG"_qs), QByteArray("first"));
    QCOMPARE(drives.readFile(u"X:\\PRG001\\MOV00a.MOD"_qs), QByteArray("second"));
}

void TestCamcorderName::reportsAMissingFile() {
    TempDrives drives;
    drives.addDrive(u'x');
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\MOV001.MOD"_qs), int(platform::ErrFileNotFound));
    QCOMPARE(strovan::RenameCamcorderFile(u"X:\\nowhere\\MOV001.MOD"_qs),
             int(platform::ErrPathNotFound));
}

QTEST_GUILESS_MAIN(TestCamcorderName)
#include "tst_camcordername.moc"
