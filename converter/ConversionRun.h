#pragma once

#include "converter/Conversion.h"
#include "toolkit/MessageBox.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <thread>

class QEventLoop;
class QProgressBar;
class QProgressDialog;
class QWidget;

// A long job (the conversion of a card, or its import) on a thread of its
// own, while the window stays painted: a progress dialog that comes up once
// the job has taken a moment, whose "Annuler" stops the job, and boxes from
// the job shown above it. The job and the window meet only here, through
// state guarded by one lock: the job reads nothing the window changes.
namespace strovan {

// How far a job has come: the bar's value, what it works on, and which of the
// job's texts tells it (its stage).
struct RunProgress {
    int done = 0;
    int stage = 0;
    QString item;
};

// What a job may ask of the window, from the job's own thread.
class RunControl {
public:
    virtual ~RunControl() = default;
    // True once the user cancelled, the window is being closed or the program
    // quits: the job ends at its next step.
    virtual bool stopRequested() const = 0;
    // Cheap enough for every file: the dialog shows the latest of them, at
    // most ten times a second.
    virtual void progress(const RunProgress& progress) = 0;
    // Shows the box above the progress dialog and waits for the answer; a
    // run being stopped gets the box's default answer without a box.
    virtual toolkit::Answer ask(toolkit::MessageRequest request) = 0;
    // A plain box: the program's title, the text, one OK button.
    void notice(const QString& text);
};

class ConversionRun : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void(RunControl& control)>;
    using ProgressText = std::function<QString(const RunProgress&)>;

    // Short jobs end before the dialog would come up; a box from the job
    // stops this clock while it is open.
    static constexpr int ShowDelayMs = 400;
    static constexpr int RefreshMs = 100;

    explicit ConversionRun(QWidget* window);
    ~ConversionRun() override;

    // Runs job on its own thread and returns once it has ended, the window's
    // events going on meanwhile. Should the event loop be ended under it (the
    // program quits), the job is stopped and waited for. total is the bar's
    // end; text makes the dialog's label. Rethrows what the job raised.
    void exec(const Job& job, int total, const ProgressText& text);

    bool running() const { return m_shared != nullptr; }
    void requestStop();
    // The dialog of the run going on, shown or not yet; null between runs.
    QProgressDialog* progressDialog() const { return m_dialog; }
    // How many times the last run gave the dialog new progress.
    int progressUpdates() const { return m_updates; }

private:
    struct Shared;
    class Control;
    void tick();
    void answerRequest(const std::shared_ptr<Shared>& shared);

    QPointer<QWidget> m_window;
    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    QProgressDialog* m_dialog = nullptr;
    QProgressBar* m_bar = nullptr;
    QEventLoop* m_loop = nullptr;
    ProgressText m_text;
    QElapsedTimer m_clock;
    qint64 m_pausedMs = 0;  // time spent with a box of the job open
    qint64 m_shownAt = -1;  // when the dialog last got new progress
    quint64 m_shownSerial = 0;
    int m_updates = 0;
};

// Names as the boxes quote them: « Photos », « Vacances », then how many more.
QString QuotedNames(const QStringList& names);

// The text of the box that ends a conversion of folder: what was done, then
// what failed and why, in French.
QString ConversionReportText(const QString& folder, const ConversionReport& report);

} // namespace strovan
