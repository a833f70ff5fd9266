#include "platform/Errors.h"
#include "toolkit/Jpeg.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace toolkit;

class TstToolkit : public QObject {
    Q_OBJECT

    QList<MessageRequest> shown;

    // A real JPEG picture, made by Qt's own writer (only the tests use it).
    static QByteArray sampleJpeg(int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(95);
        writer.write(image);
        return bytes;
    }

private slots:
    void init() {
        shown.clear();
        setMessageHook([this](const MessageRequest& r) {
            shown << r;
            return Answer::Ok;
        });
    }
    void cleanup() {
        setMessageHook({});
        setProgramTitle(QString());
    }

    void errorBoxText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Fichier introuvable"
                                << "Fichier introuvable.";
        QTest::newRow("digit") << "Erreur E/S 21"
                               << "Erreur E/S 21.";
        QTest::newRow("already a dot") << "Fin."
                                       << "Fin.";
        QTest::newRow("sorts before the dot") << "Attention !"
                                              << "Attention !";
        QTest::newRow("comma sorts before") << "a,"
                                            << "a,";
        QTest::newRow("slash sorts after") << "C:/"
                                           << "C:/.";
        QTest::newRow("accent sorts after") << "refusé"
                                            << "refusé.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorBoxText() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(toolkit::errorBoxText(message), shown);
    }

    void guardedActionShowsTheErrorBoxAndGoesOn() {
        setProgramTitle(QStringLiteral("Strovan"));
        bool after = false;
        runGuarded([] { throw platform::IoError(5); });
        runGuarded([&] { after = true; });
        QVERIFY(after);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].caption, QStringLiteral("Strovan"));
        QCOMPARE(shown[0].text, QStringLiteral("Accès au fichier refusé."));
        QCOMPARE(shown[0].icon, BoxIcon::Error);
        QCOMPARE(shown[0].buttons, Buttons::Ok);
    }

    void programTitleFromFileName() {
        // Without a title set, the file name: first letter kept, the rest lower case.
        QCOMPARE(programTitle(), QStringLiteral("tst_toolkit")); // first letter as it is
        setProgramTitle(QStringLiteral("Strovan"));
        QCOMPARE(programTitle(), QStringLiteral("Strovan"));
    }

    void plainBoxAndQuestion() {
        setProgramTitle(QStringLiteral("Pelmora"));
        showPlainMessage(QStringLiteral("ligne 1\rligne 2"));
        QCOMPARE(shown.last().caption, QStringLiteral("Pelmora"));
        QCOMPARE(shown.last().buttons, Buttons::Ok);
        QCOMPARE(shown.last().text, QStringLiteral("ligne 1\rligne 2"));
        setMessageHook([](const MessageRequest&) { return Answer::Cancel; });
        QCOMPARE(askYesNoCancel(QStringLiteral("ATTENTION"), QStringLiteral("?")), Answer::Cancel);
    }

    void realBoxBreaksLinesAtCarriageReturn() {
        // Without the hook the real box is shown: answer it from a timer.
        setMessageHook({});
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen = box->text();
            const auto buttons = box->buttons();
            QStringList texts;
            for (auto* b : buttons)
                texts << b->text();
            QVERIFY(texts.contains(QStringLiteral("&Oui")));
            QVERIFY(texts.contains(QStringLiteral("&Non")));
            QVERIFY(texts.contains(QStringLiteral("Annuler")));
            for (auto* b : buttons)
                if (b->text() == QStringLiteral("&Non"))
                    b->click();
        });
        QCOMPARE(askYesNoCancel(QStringLiteral("T"), QStringLiteral("un\rdeux")), Answer::No);
        QCOMPARE(seen, QStringLiteral("un\ndeux"));
    }

    void speedButtonTakesNoFocus() {
        SpeedButton speed(QStringLiteral("Menu"));
        QCOMPARE(speed.focusPolicy(), Qt::NoFocus);
        BitButton help(BitButton::Kind::Help, QStringLiteral("&Aide"));
        QVERIFY(help.focusPolicy() & Qt::TabFocus);
        QVERIFY(!help.icon().isNull());
    }

    void linkLabelClicks() {
        LinkLabel label(QStringLiteral("www.orvane.example"));
        label.resize(100, 20);
        QSignalSpy spy(&label, &LinkLabel::clicked);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    }

    void jpegDecodes() {
        const QByteArray bytes = sampleJpeg(64, 32);
        if (bytes.isEmpty())
            QSKIP("no JPEG writer to make a sample");
        QString error;
        const QImage image = decodeJpeg(bytes, &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(64, 32));
        // Colours survive the round trip within JPEG's loss.
        const QColor corner = image.pixelColor(63, 31);
        QVERIFY(corner.red() > 200 && corner.green() > 200);
        QVERIFY(qAbs(corner.blue() - 128) < 24);
    }

    void jpegFailures_data() {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = sampleJpeg(64, 64);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a picture") << QByteArray("Ceci n'est pas une image", 24);
        QTest::newRow("header only") << good.left(20);
        QTest::newRow("truncated") << good.left(good.size() / 2);
        QByteArray damaged = good;
        for (qsizetype i = damaged.size() / 3; i < damaged.size() - 2; i += 7)
            damaged[i] = char(0xFF);
        QTest::newRow("damaged") << damaged;
    }
    void jpegFailures() {
        QFETCH(QByteArray, data);
        QString error;
        const QImage image = decodeJpeg(data, &error);
        QVERIFY(image.isNull());
        QVERIFY(!error.isEmpty());
    }

    void missingPictureFile() {
        QString error;
        QVERIFY(loadJpeg(QStringLiteral("/nonexistent/banner.jpg"), &error).isNull());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TstToolkit)
#include "tst_toolkit.moc"
