#include "converter/ConversionRun.h"

#include "platform/Errors.h"
#include "toolkit/Cursors.h"

#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

namespace strovan {

namespace {

namespace text {
const QString Cancel = QStringLiteral("Annuler");
const QString ReportDone = QStringLiteral("Transformation terminée dans %1 :");
const QString ReportStopped =
    QStringLiteral("Transformation arrêtée dans %1 ; relancez-la pour la terminer :");
const QString FoldersRenamed = QStringLiteral("Dossiers d'enregistrement renommés : %1");
const QString ClipsRenamed = QStringLiteral("Clips renommés : %1");
const QString IndexesDeleted = QStringLiteral("Fichiers d'index supprimés : %1");
const QString ClipsWidened = QStringLiteral("Clips passés en 16:9 : %1");
const QString DatesRestored = QStringLiteral("Dates d'enregistrement rétablies : %1");
const QString FailuresHead = QStringLiteral("Échecs :");
const QString FailuresMore = QStringLiteral("… et %1 autres");
const QString LeftAlone = QStringLiteral("Dossiers laissés tels quels : %1");
const QString NameExists = QStringLiteral("ce nom existe déjà");
const QString ReadOnly = QStringLiteral("en lecture seule");
const QString InUse = QStringLiteral("en cours d'utilisation");
const QString Denied = QStringLiteral("accès refusé");
const QString Vanished = QStringLiteral("introuvable");
const QString DiskFull = QStringLiteral("disque plein");
const QString IoFailure = QStringLiteral("erreur d'entrée/sortie (%1)");
const QString NotProgramStream = QStringLiteral("pas une vidéo MPEG-2 en flux de programme");
const QString IndexUnread = QStringLiteral("fichier d'index illisible (%1), conservé");
const QString NotWidened = QStringLiteral("16:9 non appliqué : %1");
const QString NotDated = QStringLiteral("date non rétablie : %1");
const QString NotFlushed = QStringLiteral("écriture non confirmée par le disque : %1");
const QString IndexKept = QStringLiteral("%1, fichier d'index %2 conservé");
} // namespace text

// How many failures the end box lists before it says how many more there are.
constexpr int FailuresShown = 20;
// How many folder names a sentence quotes before it says how many more.
constexpr int NamesQuoted = 5;
// How often the window looks at the job: the end and a box come without a
// noticeable wait.
constexpr int PollMs = 20;

QString Cause(const ConversionFailure& failure) {
    switch (failure.code) {
    case platform::ErrAlreadyExists:
    case platform::ErrFileExists:
        return text::NameExists;
    case platform::ErrSharingViolation:
        return text::InUse;
    case platform::ErrAccessDenied:
        return failure.readOnly ? text::ReadOnly : text::Denied;
    case platform::ErrFileNotFound:
    case platform::ErrPathNotFound:
        return text::Vanished;
    case platform::ErrDiskFull:
        return text::DiskFull;
    case ErrNotProgramStream:
        return text::NotProgramStream;
    default:
        return text::IoFailure.arg(platform::IoError::messageFor(failure.code));
    }
}

QString FailureReason(const ConversionFailure& failure) {
    using Step = ConversionFailure::Step;
    const QString cause = Cause(failure);
    QString reason;
    switch (failure.step) {
    case Step::ReadIndex:
        return text::IndexUnread.arg(cause);
    case Step::Widen:
        reason = text::NotWidened.arg(cause);
        break;
    case Step::Date:
        reason = text::NotDated.arg(cause);
        break;
    case Step::Flush:
        reason = text::NotFlushed.arg(cause);
        break;
    case Step::Rename:
    case Step::Delete:
        reason = cause;
    }
    return failure.keptIndex.isEmpty() ? reason : text::IndexKept.arg(reason, failure.keptIndex);
}

// A copy with data of its own. Strings cross between the job's thread and
// the window's only so: neither thread then frees data the other still
// counts references to, and the lock alone orders who reads what.
QString Detached(const QString& text) {
    return QString(text.constData(), text.size());
}

toolkit::MessageRequest Detached(toolkit::MessageRequest request) {
    request.caption = Detached(request.caption);
    request.text = Detached(request.text);
    request.yesText = Detached(request.yesText);
    request.noText = Detached(request.noText);
    return request;
}

} // namespace

QString QuotedNames(const QStringList& names) {
    QStringList quoted;
    for (qsizetype i = 0; i < names.size() && i < NamesQuoted; ++i)
        quoted << QStringLiteral("« %1 »").arg(names[i]);
    if (names.size() > NamesQuoted)
        quoted << text::FailuresMore.arg(names.size() - NamesQuoted);
    return quoted.join(QStringLiteral(", "));
}

QString ConversionReportText(const QString& folder, const ConversionReport& report) {
    QStringList lines{(report.stopped ? text::ReportStopped : text::ReportDone).arg(folder),
                      text::FoldersRenamed.arg(report.foldersRenamed),
                      text::ClipsRenamed.arg(report.clipsRenamed),
                      text::IndexesDeleted.arg(report.indexesDeleted),
                      text::ClipsWidened.arg(report.clipsWidened),
                      text::DatesRestored.arg(report.datesRestored)};
    if (!report.leftAlone.isEmpty())
        lines << text::LeftAlone.arg(QuotedNames(report.leftAlone));
    if (!report.failures.isEmpty()) {
        lines << QString() << text::FailuresHead;
        for (qsizetype i = 0; i < report.failures.size() && i < FailuresShown; ++i)
            lines << report.failures[i].name + QStringLiteral(" : ") +
                         FailureReason(report.failures[i]);
        if (report.failures.size() > FailuresShown)
            lines << text::FailuresMore.arg(report.failures.size() - FailuresShown);
    }
    return lines.join(QChar(13));
}

void RunControl::notice(const QString& message) {
    toolkit::MessageRequest request;
    request.caption = toolkit::programTitle();
    request.text = message;
    ask(request);
}

// What the job's thread and the window's share; everything but stop under
// the lock.
struct ConversionRun::Shared {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable answered;
    RunProgress progress;
    quint64 progressSerial = 0;
    bool finished = false;
    std::exception_ptr failure;
    // A box the job waits on: asked, then taken by the window, then answered.
    bool asked = false;
    bool taken = false;
    bool hasAnswer = false;
    bool abandoned = false; // the window waits no more: nothing will be answered
    toolkit::MessageRequest request;
    toolkit::Answer answer = toolkit::Answer::Ok;
};

class ConversionRun::Control : public RunControl {
public:
    explicit Control(Shared& shared) : m_shared(shared) {}
    bool stopRequested() const override { return m_shared.stop.load(std::memory_order_relaxed); }
    void progress(const RunProgress& progress) override {
        RunProgress own = progress;
        own.item = Detached(progress.item);
        const std::lock_guard lock(m_shared.mutex);
        std::swap(m_shared.progress, own);
        ++m_shared.progressSerial;
    }
    toolkit::Answer ask(toolkit::MessageRequest request) override {
        std::unique_lock lock(m_shared.mutex);
        if (m_shared.abandoned || stopRequested())
            return request.defaultAnswer;
        request.parent = nullptr; // the window's to choose
        m_shared.request = Detached(request);
        m_shared.asked = true;
        m_shared.taken = false;
        m_shared.hasAnswer = false;
        m_shared.answered.wait(lock, [this] { return m_shared.hasAnswer || m_shared.abandoned; });
        m_shared.asked = false;
        return m_shared.hasAnswer ? m_shared.answer : request.defaultAnswer;
    }

private:
    Shared& m_shared;
};

ConversionRun::ConversionRun(QWidget* window) : m_window(window) {}

ConversionRun::~ConversionRun() {
    // Only when the window goes in the middle of a run: let the job go.
    if (m_shared) {
        m_shared->stop = true;
        const std::lock_guard lock(m_shared->mutex);
        m_shared->abandoned = true;
        m_shared->answered.notify_all();
    }
    if (m_worker.joinable())
        m_worker.join();
}

void ConversionRun::requestStop() {
    if (m_shared)
        m_shared->stop = true;
}

void ConversionRun::exec(const Job& job, int total, const ProgressText& text) {
    if (m_shared)
        return; // one run at a time
    const auto shared = std::make_shared<Shared>();
    m_shared = shared;
    m_text = text;
    m_updates = 0;
    m_shownAt = -1;
    m_shownSerial = 0;
    m_pausedMs = 0;
    const toolkit::OverrideCursor wait(Qt::WaitCursor);

    QProgressDialog dialog(m_window);
    m_bar = new QProgressBar(&dialog);
    dialog.setBar(m_bar);
    dialog.setCancelButtonText(text::Cancel);
    dialog.setWindowTitle(toolkit::programTitle());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // The dialog comes up by this run's clock, never by its own.
    dialog.setMinimumDuration(INT_MAX);
    dialog.reset();
    dialog.setMinimumWidth(420);
    m_bar->setRange(0, qMax(total, 1));
    m_bar->setValue(0);
    connect(&dialog, &QProgressDialog::canceled, this, &ConversionRun::requestStop);
    m_dialog = &dialog;

    QTimer poll;
    poll.setInterval(PollMs);
    connect(&poll, &QTimer::timeout, this, &ConversionRun::tick);
    QEventLoop loop;
    m_loop = &loop;
    m_clock.start();
    m_worker = std::thread([shared, job] {
        Control control(*shared);
        std::exception_ptr failure;
        try {
            job(control);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(shared->mutex);
        shared->failure = failure;
        shared->finished = true;
    });
    poll.start();
    loop.exec();
    m_loop = nullptr;
    poll.stop();
    {
        // Ended under us (the program quits): stop the job and answer nothing more.
        const std::lock_guard lock(shared->mutex);
        if (!shared->finished) {
            shared->stop = true;
            shared->abandoned = true;
            shared->answered.notify_all();
        }
    }
    m_worker.join();
    m_dialog = nullptr;
    m_bar = nullptr;
    m_shared.reset();
    if (shared->failure)
        std::rethrow_exception(shared->failure);
}

void ConversionRun::tick() {
    const std::shared_ptr<Shared> shared = m_shared;
    if (!shared || !m_dialog)
        return;
    bool finished = false;
    bool asked = false;
    bool fresh = false;
    RunProgress progress;
    {
        const std::lock_guard lock(shared->mutex);
        finished = shared->finished;
        asked = shared->asked && !shared->taken;
        const qint64 now = m_clock.elapsed();
        if (shared->progressSerial != m_shownSerial &&
            (m_shownAt < 0 || now - m_shownAt >= RefreshMs)) {
            progress.done = shared->progress.done;
            progress.stage = shared->progress.stage;
            progress.item = Detached(shared->progress.item);
            m_shownSerial = shared->progressSerial;
            m_shownAt = now;
            fresh = true;
        }
    }
    if (fresh) {
        ++m_updates;
        if (m_text)
            m_dialog->setLabelText(m_text(progress));
        m_bar->setValue(qBound(0, progress.done, m_bar->maximum()));
    }
    if (finished) {
        if (m_loop)
            m_loop->quit();
        return;
    }
    // A cancelled dialog hides itself and stays hidden while the job stops.
    if (!m_dialog->isVisible() && !m_dialog->wasCanceled() &&
        m_clock.elapsed() - m_pausedMs >= ShowDelayMs)
        m_dialog->show();
    if (asked)
        answerRequest(shared);
}

void ConversionRun::answerRequest(const std::shared_ptr<Shared>& shared) {
    toolkit::MessageRequest request;
    {
        const std::lock_guard lock(shared->mutex);
        shared->taken = true;
        request = Detached(shared->request);
    }
    toolkit::Answer answer = request.defaultAnswer;
    if (!shared->stop) {
        // Above the dialog once it is up; before, above the window, and the
        // dialog waits for the box to close.
        request.parent = m_dialog && m_dialog->isVisible() ? static_cast<QWidget*>(m_dialog)
                                                            : m_window.data();
        const qint64 opened = m_clock.elapsed();
        answer = toolkit::showMessage(request);
        m_pausedMs += m_clock.elapsed() - opened;
    }
    const std::lock_guard lock(shared->mutex);
    shared->answer = answer;
    shared->hasAnswer = true;
    shared->answered.notify_all();
}

} // namespace strovan
