#include "platform/Errors.h"
#include "toolkit/FocusFrame.h"
#include "toolkit/Jpeg.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QAccessible>
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

    void withFrenchSpacesKept_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QChar nb(0x00A0);
        QTest::newRow("colon at the end") << "Dans C:\\Vidéos\\Camescope 2006-07-14 :"
                                          << QString("Dans C:\\Vidéos\\Camescope 2006-07-14") + nb + ':';
        QTest::newRow("each mark") << "a ; b ? c ! d : e"
                                   << QString("a") + nb + "; b" + nb + "? c" + nb + "! d" + nb + ": e";
        QTest::newRow("guillemets") << "« X:\\ » est"
                                    << QString("«") + nb + "X:\\" + nb + "» est";
        QTest::newRow("drive letter untouched") << "c: [lea] ; X:\\"
                                                << QString("c: [lea]") + nb + "; X:\\";
        QTest::newRow("spaces elsewhere kept") << "deux  mots : "
                                               << QString("deux  mots") + nb + ": ";
        QTest::newRow("mark first") << " :"
                                    << QString(nb) + ':';
        QTest::newRow("empty") << ""
                               << "";
    }
    void withFrenchSpacesKept() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(toolkit::withFrenchSpacesKept(text), shown);
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

    void linkLabelFollowsTheKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Space") << int(Qt::Key_Space) << 1;
        QTest::newRow("Enter") << int(Qt::Key_Return) << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << 1;
        QTest::newRow("a letter") << int(Qt::Key_A) << 0;
    }
    void linkLabelFollowsTheKeyboard() {
        QFETCH(int, key);
        QFETCH(int, clicks);
        LinkLabel label(QStringLiteral("www.orvane.example"));
        QVERIFY(label.focusPolicy() & Qt::TabFocus);
        QSignalSpy spy(&label, &LinkLabel::clicked);
        QTest::keyClick(&label, Qt::Key(key));
        QCOMPARE(spy.count(), clicks);
        // A screen reader presses it as a link.
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&label);
        QVERIFY(face && face->actionInterface());
        QCOMPARE(face->role(), QAccessible::Link);
        QCOMPARE(face->text(QAccessible::Name), label.text());
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(spy.count(), clicks + 1);
    }

    void placement_data() {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("centre");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("topLeft");
        const QRect screen(0, 0, 1280, 800);
        const QPoint middle(640, 400);
        QTest::newRow("centred") << QSize(400, 300) << middle << screen << QPoint(440, 250);
        // A panel at the top, a second screen to the right.
        QTest::newRow("below a panel")
            << QSize(400, 300) << QPoint(640, 424) << QRect(0, 48, 1280, 752) << QPoint(440, 274);
        QTest::newRow("second screen") << QSize(400, 300) << QPoint(1920, 400)
                                       << QRect(1280, 0, 1280, 800) << QPoint(1720, 250);
        // Centred on a parent near an edge: moved back inside.
        QTest::newRow("parent near the right")
            << QSize(400, 300) << QPoint(1200, 400) << screen << QPoint(880, 250);
        QTest::newRow("parent near the top")
            << QSize(400, 300) << QPoint(640, 20) << screen << QPoint(440, 0);
        QTest::newRow("exactly the area") << QSize(1280, 800) << middle << screen << QPoint(0, 0);
        // Larger than the area: the title bar and the left edge stay on screen.
        QTest::newRow("too tall") << QSize(400, 900) << middle << screen << QPoint(440, 0);
        QTest::newRow("too wide under a panel")
            << QSize(1400, 300) << QPoint(640, 424) << QRect(0, 48, 1280, 752) << QPoint(0, 274);
    }
    void placement() {
        QFETCH(QSize, outer);
        QFETCH(QPoint, centre);
        QFETCH(QRect, available);
        QFETCH(QPoint, topLeft);
        QCOMPARE(placedTopLeft(outer, centre, available), topLeft);
    }

    void focusFrameStandsOut_data() {
        QTest::addColumn<QColor>("ground");
        QTest::newRow("orange") << QColor(255, 128, 0);
        QTest::newRow("light blue") << QColor(128, 128, 255);
        QTest::newRow("yellow") << QColor(255, 255, 0);
        QTest::newRow("button face") << ButtonFace;
        QTest::newRow("dark theme") << QColor(45, 45, 45);
        QTest::newRow("navy") << QColor(0, 0, 128);
        QTest::newRow("mid grey") << QColor(119, 119, 119);
    }
    void focusFrameStandsOut() {
        QFETCH(QColor, ground);
        QVERIFY(contrastRatio(focusFrameColour(ground), ground) >= 4.5);
    }

    void closePictureShowsOnADarkFace() {
        BitButton close(BitButton::Kind::Close, QStringLiteral("&Fermer"));
        QPalette dark = close.palette();
        dark.setColor(QPalette::Button, QColor(45, 45, 45));
        dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
        close.setPalette(dark);
        const QImage picture = close.icon().pixmap(16, 16).toImage();
        // The ink of the picture, weighed by its opacity, against the face.
        double red = 0, green = 0, blue = 0, weight = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                red += c.redF() * c.alphaF();
                green += c.greenF() * c.alphaF();
                blue += c.blueF() * c.alphaF();
                weight += c.alphaF();
            }
        QVERIFY(weight > 0);
        const QColor ink = QColor::fromRgbF(red / weight, green / weight, blue / weight);
        QVERIFY(contrastRatio(ink, dark.color(QPalette::Button)) >= 3.0);
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
