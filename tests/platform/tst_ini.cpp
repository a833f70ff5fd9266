// The settings reader against the answers of an independent implementation
// of the Windows profile reader, over the corpus of tricky files in
// ini-corpus/ (table written by tools/wine-profile-table.sh).

#include "support/TempDrives.h"

#include "platform/Errors.h"
#include "platform/Ini.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// Where the reference says what no Windows evidence confirms, the reader
// keeps its own answer.
struct OwnAnswer {
    const char* file;
    const char* section;
    const char* key;
    const char* answer; // escaped as in the table
    const char* why;
};
constexpr OwnAnswer OwnAnswers[] = {
    {"duplicate-section-later-key.ini", "DISQUES", "Virtuel",
     "=X:", "a key is also looked for in a later section of the same name"},
    {"ctrl-z-end.ini", "DISQUES", "Virtuel", "=X:\\x1A", "Ctrl-Z is not a blank"},
    {"ctrl-z-middle.ini", "DISQUES", "Virtuel", "=X:\\x1A", "Ctrl-Z is not a blank"},
    {"nul-in-section.ini", "DIS", "Virtuel", "-", "NUL does not end a section name"},
    {"cp1252-names.ini", "UNIT\\u00C9", "CL\\u00C9", "=1", "accented names compare without case"},
    {"utf16le-bom.ini", "UNIT\\u00C9", "virtuel", "=\\u00C9t\\u00E9 \\u20AC",
     "accented names compare without case"},
};

QString unescaped(QStringView text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar c = text[++i];
        const int digits = c == u'x' ? 2 : c == u'u' ? 4 : 0;
        if (digits) {
            out += QChar(char16_t(text.sliced(i + 1, digits).toUShort(nullptr, 16)));
            i += digits;
        } else {
            out += c == u't' ? u'\t' : c == u'n' ? u'\n' : c == u'r' ? u'\r' : c;
        }
    }
    return out;
}

QList<QStringList> tableRows(const QString& name) {
    QFile file(QStringLiteral(INI_CORPUS_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QList<QStringList> rows;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            rows += QString::fromLatin1(line).split(u'\t');
    return rows;
}

} // namespace

class TestIni : public QObject {
    Q_OBJECT

private slots:
    void tableAnswersEveryQuery() {
        QList<QStringList> asked;
        for (const QStringList& row : tableRows(QStringLiteral("wine-table.tsv")))
            asked += row.mid(0, 3);
        QCOMPARE(asked, tableRows(QStringLiteral("queries.tsv")));
        QVERIFY(asked.size() >= 100);
    }

    void readsAsTheReference_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("answer");
        int own = 0;
        for (QStringList row : tableRows(QStringLiteral("wine-table.tsv"))) {
            QCOMPARE(row.size(), 4);
            for (const OwnAnswer& exception : OwnAnswers)
                if (row[0] == QLatin1String(exception.file) &&
                    row[1] == QLatin1String(exception.section) &&
                    row[2] == QLatin1String(exception.key)) {
                    QVERIFY2(row[3] != QLatin1String(exception.answer), exception.why);
                    row[3] = QLatin1String(exception.answer);
                    ++own;
                }
            QTest::addRow("%s [%s] %s", qPrintable(row[0]), qPrintable(row[1]), qPrintable(row[2]))
                << row[0] << unescaped(row[1]) << unescaped(row[2]) << unescaped(row[3]);
        }
        QCOMPARE(own, int(std::size(OwnAnswers)));
    }
    void readsAsTheReference() {
        QFETCH(QString, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, answer);
        TempDrives drives;
        drives.addDrive(u'K', QStringLiteral(INI_CORPUS_DIR));
        const QString absent = QStringLiteral("\x1b<absent>");
        const QString value = platform::readIniString("K:\\" + file, section, key, absent);
        QCOMPARE(value, answer == u"-" ? absent : answer.mid(1));
    }

    // The writer changes the one line the reader would find, keeps the rest
    // and the file's encoding, and the reader finds the new value.
    void writesWhatTheReaderFinds_data() {
        QTest::addColumn<QByteArray>("before"); // "-": no file
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file") << QByteArray("-") << QByteArray("[DISQUES]\r\nVirtuel=Y:\r\n");
        QTest::newRow("value replaced, case of names kept")
            << QByteArray("; réglages\r\n[disques]\r\n virtuel = X: \r\nAutre=1\r\n")
            << QByteArray("; réglages\r\n[disques]\r\nVirtuel=Y:\r\nAutre=1\r\n");
        QTest::newRow("key added at the end of its section")
            << QByteArray("[DISQUES]\r\nAutre=1\r\n\r\n[SUITE]\r\nA=2\r\n")
            << QByteArray("[DISQUES]\r\nAutre=1\r\nVirtuel=Y:\r\n\r\n[SUITE]\r\nA=2\r\n");
        QTest::newRow("section added, last line without its end")
            << QByteArray("[SUITE]\nA=2") << QByteArray("[SUITE]\nA=2\r\n[DISQUES]\r\nVirtuel=Y:\r\n");
        QTest::newRow("CR-only lines kept")
            << QByteArray("[DISQUES]\rVirtuel=X:\rAutre=1\r")
            << QByteArray("[DISQUES]\rVirtuel=Y:\rAutre=1\r");
        QTest::newRow("UTF-8 with its mark stays so")
            << QByteArray("\xEF\xBB\xBF[DISQUES]\r\nNom=\xC3\xA9t\xC3\xA9\r\nVirtuel=X:\r\n")
            << QByteArray("\xEF\xBB\xBF[DISQUES]\r\nNom=\xC3\xA9t\xC3\xA9\r\nVirtuel=Y:\r\n");
        QTest::newRow("ANSI stays ANSI") << QByteArray("[DISQUES]\r\nNom=\xE9t\xE9\r\n")
                                         << QByteArray("[DISQUES]\r\nNom=\xE9t\xE9\r\nVirtuel=Y:\r\n");
        QTest::newRow("a key before any section is not the section's")
            << QByteArray("Virtuel=X:\r\n[DISQUES]\r\n")
            << QByteArray("Virtuel=X:\r\n[DISQUES]\r\nVirtuel=Y:\r\n");
    }
    void writesWhatTheReaderFinds() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        TempDrives drives;
        const QString root = drives.addDrive(u'C');
        if (before != "-")
            drives.writeFile(QStringLiteral("C:\\SUBST.INI"), before);
        QCOMPARE(platform::writeIniString(QStringLiteral("C:\\subst.ini"), QStringLiteral("DISQUES"),
                                          QStringLiteral("Virtuel"), QStringLiteral("Y:")),
                 int(platform::NoError));
        QCOMPARE(drives.readFile(QStringLiteral("C:\\SUBST.INI")), after);
        QCOMPARE(platform::readIniString(QStringLiteral("C:\\SUBST.INI"), QStringLiteral("Disques"),
                                         QStringLiteral("VIRTUEL")),
                 QStringLiteral("Y:"));
        // Nothing but the file itself (under the name it had, else the one
        // asked for): no temporary file is left beside it.
        QCOMPARE(QDir(root).entryList(QDir::Files | QDir::Hidden),
                 QStringList{before == "-" ? "subst.ini" : "SUBST.INI"});
    }

    void refusesWhatCannotBeWritten_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("empty key") << "" << "Y:";
        QTest::newRow("key with =") << "Vir=tuel" << "Y:";
        QTest::newRow("value on two lines") << "Virtuel" << "Y:\r\nZ:";
        QTest::newRow("no ANSI byte for it") << "Virtuel" << "\u4e2d";
    }
    void refusesWhatCannotBeWritten() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        TempDrives drives;
        drives.addDrive(u'C');
        const QByteArray before("[DISQUES]\r\nVirtuel=X:\r\n");
        drives.writeFile(QStringLiteral("C:\\SUBST.INI"), before);
        QCOMPARE(platform::writeIniString(QStringLiteral("C:\\SUBST.INI"), QStringLiteral("DISQUES"),
                                          key, value),
                 int(platform::ErrInvalidName));
        QCOMPARE(drives.readFile(QStringLiteral("C:\\SUBST.INI")), before);
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
