#include "converter/ConversionRun.h"
#include "platform/Errors.h"
#include "toolkit/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>
#include <thread>

using strovan::ConversionRun;
using strovan::RunControl;
using strovan::RunProgress;

namespace {

// Works for ms milliseconds, or until asked to stop.
void Work(RunControl& control, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !control.stopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

QString Label(const RunProgress& progress) {
    return progress.item + QString::number(progress.done);
}

// Samples whether the run's dialog is up, as often as the window's events run.
struct DialogWatch {
    const ConversionRun& run;
    QTimer timer;
    bool everShown = false;
    explicit DialogWatch(const ConversionRun& watched) : run(watched) {
        QObject::connect(&timer, &QTimer::timeout, [this] { everShown = everShown || shown(); });
        timer.start(5);
    }
    bool shown() const { return run.progressDialog() && run.progressDialog()->isVisible(); }
};

} // namespace

class TestConversionRun : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsTheDialogOnlyForLongJobs_data();
    void showsTheDialogOnlyForLongJobs();
    void boxesFromTheJobComeAboveTheDialog_data();
    void boxesFromTheJobComeAboveTheDialog();
    void progressAtMostTenTimesASecond();
    void stops_data();
    void stops();
    void rethrowsWhatTheJobRaised();
    void reportText_data();
    void reportText();
    // Last: the ended event loop stays ended for the rest of the program.
    void stopsWhenTheProgramQuits();

private:
    std::unique_ptr<QWidget> m_window;
};

void TestConversionRun::init() {
    m_window = std::make_unique<QWidget>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestConversionRun::cleanup() {
    toolkit::setMessageHook({});
    m_window.reset();
}

void TestConversionRun::showsTheDialogOnlyForLongJobs_data() {
    QTest::addColumn<int>("jobMs");
    QTest::addColumn<bool>("shown");
    QTest::newRow("short") << 20 << false;
    QTest::newRow("long") << 4 * ConversionRun::ShowDelayMs << true;
}

void TestConversionRun::showsTheDialogOnlyForLongJobs() {
    QFETCH(int, jobMs);
    QFETCH(bool, shown);
    ConversionRun run(m_window.get());
    DialogWatch watch(run);
    run.exec([jobMs](RunControl& control) { Work(control, jobMs); }, 1, Label);
    QCOMPARE(watch.everShown, shown);
    QVERIFY(!run.running());
    QVERIFY(!QApplication::overrideCursor());
}

void TestConversionRun::boxesFromTheJobComeAboveTheDialog_data() {
    QTest::addColumn<int>("workBefore");
    QTest::addColumn<bool>("dialogUp");
    QTest::newRow("before the dialog is up") << 0 << false;
    QTest::newRow("once the dialog is up") << 3 * ConversionRun::ShowDelayMs << true;
}

void TestConversionRun::boxesFromTheJobComeAboveTheDialog() {
    QFETCH(int, workBefore);
    QFETCH(bool, dialogUp);
    ConversionRun run(m_window.get());
    DialogWatch watch(run);
    bool aboveTheDialog = false;
    bool aboveTheWindow = false;
    bool upUnderTheBox = false;
    bool cameUpWhileOpen = false;
    toolkit::setMessageHook([&](const toolkit::MessageRequest& request) {
        aboveTheDialog = request.parent && request.parent == run.progressDialog();
        aboveTheWindow = request.parent == m_window.get();
        upUnderTheBox = watch.shown();
        // The user reads the box for longer than the dialog's delay: the
        // dialog must not come up over it meanwhile.
        QElapsedTimer reading;
        reading.start();
        while (reading.elapsed() < 2 * ConversionRun::ShowDelayMs) {
            QTest::qWait(10);
            cameUpWhileOpen = cameUpWhileOpen || (!upUnderTheBox && watch.shown());
        }
        return toolkit::Answer::Ok;
    });
    run.exec(
        [workBefore](RunControl& control) {
            Work(control, workBefore);
            control.notice(QStringLiteral("Il ne doit pas y avoir de sous répertoires emboités"));
        },
        1, Label);
    QCOMPARE(upUnderTheBox, dialogUp);
    QCOMPARE(aboveTheDialog, dialogUp);
    QCOMPARE(aboveTheWindow, !dialogUp);
    QVERIFY(!cameUpWhileOpen);
    QCOMPARE(watch.everShown, dialogUp);
}

void TestConversionRun::progressAtMostTenTimesASecond() {
    ConversionRun run(m_window.get());
    QElapsedTimer clock;
    clock.start();
    int told = 0;
    run.exec(
        [&told](RunControl& control) {
            QElapsedTimer working;
            working.start();
            while (working.elapsed() < 3 * ConversionRun::RefreshMs)
                control.progress({++told, 0, QStringLiteral("clip ")});
        },
        1000, Label);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(told > 1000);
    QVERIFY(run.progressUpdates() >= 1);
    QVERIFY2(run.progressUpdates() <= elapsed / ConversionRun::RefreshMs + 1,
             qPrintable(QStringLiteral("%1 updates in %2 ms").arg(run.progressUpdates()).arg(elapsed)));
}

void TestConversionRun::stops_data() {
    QTest::addColumn<bool>("cancel"); // by the dialog's button, else by the window
    QTest::newRow("Annuler") << true;
    QTest::newRow("window closed") << false;
}

void TestConversionRun::stops() {
    QFETCH(bool, cancel);
    ConversionRun run(m_window.get());
    QTimer stopper;
    stopper.setSingleShot(true);
    connect(&stopper, &QTimer::timeout, &run, [&] {
        if (cancel)
            run.progressDialog()->findChild<QPushButton*>()->click();
        else
            run.requestStop();
    });
    stopper.start(2 * ConversionRun::ShowDelayMs);
    int boxes = 0;
    toolkit::setMessageHook([&boxes](const toolkit::MessageRequest&) {
        ++boxes;
        return toolkit::Answer::Yes;
    });
    bool stopped = false;
    toolkit::Answer answer = toolkit::Answer::Yes;
    run.exec(
        [&](RunControl& control) {
            Work(control, 20000);
            stopped = control.stopRequested();
            // Nothing more is asked of a user who stopped the run.
            toolkit::MessageRequest question;
            question.buttons = toolkit::Buttons::YesNo;
            question.defaultAnswer = toolkit::Answer::No;
            answer = control.ask(question);
        },
        1, Label);
    QVERIFY(stopped);
    QCOMPARE(answer, toolkit::Answer::No);
    QCOMPARE(boxes, 0);
}

void TestConversionRun::rethrowsWhatTheJobRaised() {
    ConversionRun run(m_window.get());
    QVERIFY_THROWS_EXCEPTION(platform::IoError,
                             run.exec([](RunControl&) { throw platform::IoError(5); }, 1, Label));
    // And runs again afterwards.
    bool ran = false;
    run.exec([&ran](RunControl&) { ran = true; }, 1, Label);
    QVERIFY(ran);
}

void TestConversionRun::reportText_data() {
    using Step = strovan::ConversionFailure::Step;
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("keptIndex");
    QTest::addColumn<QString>("line");
    QTest::newRow("rename") << int(Step::Rename) << int(platform::ErrAlreadyExists) << false
                            << QString() << "PRG0001\\MOV0001.MPG : ce nom existe déjà";
    QTest::newRow("read-only index")
        << int(Step::Delete) << int(platform::ErrAccessDenied) << true << QString()
        << "PRG0001\\MOV0001.MPG : en lecture seule";
    QTest::newRow("index unreadable")
        << int(Step::ReadIndex) << 0x1F << false << "MOV001.MOI"
        << "PRG0001\\MOV0001.MPG : fichier d'index illisible (erreur d'entrée/sortie (Erreur E/S "
           "31)), conservé";
    QTest::newRow("read-only clip")
        << int(Step::Widen) << int(platform::ErrAccessDenied) << true << "MOV001.MOI"
        << "PRG0001\\MOV0001.MPG : 16:9 non appliqué : en lecture seule, fichier d'index "
           "MOV001.MOI conservé";
    QTest::newRow("date") << int(Step::Date) << int(platform::ErrAccessDenied) << false
                          << "MOV001.MOI"
                          << "PRG0001\\MOV0001.MPG : date non rétablie : accès refusé, fichier "
                             "d'index MOV001.MOI conservé";
    QTest::newRow("flush") << int(Step::Flush) << int(platform::ErrDiskFull) << false
                           << "MOV001.MOI"
                           << "PRG0001\\MOV0001.MPG : écriture non confirmée par le disque : "
                              "disque plein, fichier d'index MOV001.MOI conservé";
}

void TestConversionRun::reportText() {
    QFETCH(int, step);
    QFETCH(int, code);
    QFETCH(bool, readOnly);
    QFETCH(QString, keptIndex);
    QFETCH(QString, line);
    strovan::ConversionReport report;
    report.clipsRenamed = 1;
    strovan::ConversionFailure failure;
    failure.name = QStringLiteral("PRG0001\\MOV0001.MPG");
    failure.step = strovan::ConversionFailure::Step(step);
    failure.code = code;
    failure.readOnly = readOnly;
    failure.keptIndex = keptIndex;
    report.failures << failure;
    const QStringList lines =
        strovan::ConversionReportText(QStringLiteral("X:\\Camescope"), report).split(QChar(13));
    QCOMPARE(lines.first(), QStringLiteral("Transformation terminée dans X:\\Camescope :"));
    QCOMPARE(lines.mid(lines.size() - 2), (QStringList{QStringLiteral("Échecs :"), line}));
}

void TestConversionRun::stopsWhenTheProgramQuits() {
    ConversionRun run(m_window.get());
    QTimer::singleShot(ConversionRun::ShowDelayMs, [] { QCoreApplication::exit(0); });
    bool stopped = false;
    bool askedAfter = false;
    run.exec(
        [&](RunControl& control) {
            Work(control, 20000);
            stopped = control.stopRequested();
            control.notice(QStringLiteral("après"));
            askedAfter = true;
        },
        1, Label);
    QVERIFY(stopped && askedAfter);
    QVERIFY(!run.running());
}

QTEST_MAIN(TestConversionRun)
#include "tst_conversionrun.moc"
