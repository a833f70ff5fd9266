#include "converter/Unit1.h"

#include "converter/CamcorderName.h"
#include "converter/CardImport.h"
#include "converter/Conversion.h"
#include "converter/ConversionRun.h"
#include "platform/Drives.h"
#include "platform/UserFolders.h"
#include "platform/WinPath.h"
#include "toolkit/Cursors.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QLineEdit>
#include <QPointer>

#include <utility>

// The converter window's work on the selected folder: on a card, the offer
// to import its recordings first; the confirmations; the import and the
// conversion run on their thread; the end report.
namespace strovan {

namespace {

namespace text {
const QString NothingIn = QStringLiteral("Rien à transformer dans %1");
const QString ForeignHeadOne =
    QStringLiteral("Dans « %1 », ce dossier ne vient pas d'un caméscope :");
const QString ForeignHead =
    QStringLiteral("Dans « %1 », ces dossiers ne viennent pas d'un caméscope :");
const QString ForeignMore = QStringLiteral("… et %1 autres");
const QString ForeignQuestionOne =
    QStringLiteral("Il serait renommé lui aussi (« %1 » deviendrait « %2 »). Le renommer quand "
                   "même ? « Non » le laisse tel quel et transforme le reste.");
const QString ForeignQuestion =
    QStringLiteral("Ils seraient renommés eux aussi (« %1 » deviendrait « %2 »). Les renommer "
                   "quand même ? « Non » les laisse tels quels et transforme le reste.");
const QString NothingElseOne =
    QStringLiteral("Rien d'autre à transformer dans %1 : le dossier %2 reste tel quel.");
const QString NothingElse =
    QStringLiteral("Rien d'autre à transformer dans %1 : les dossiers %2 restent tels quels.");
const QString ProgressRename = QStringLiteral("Renommage des clips : %1");
const QString ProgressWiden = QStringLiteral("Passage en 16:9 : %1");
const QString ProgressCount = QStringLiteral("Clip %1 sur %2");
const QString ImportOffer =
    QStringLiteral("« %1 » est sur une carte amovible (%2).\r\r"
                   "Copier d'abord ses enregistrements sur votre disque, dans :\r    %3\r"
                   "puis transformer cette copie ? La carte restera telle quelle.");
const QString ImportAmount = QStringLiteral("%1 fichiers à copier (%2 Mo).");
const QString ImportEarlier = QStringLiteral(
    "Une importation précédente de cette carte est dans ce dossier : %1 fichiers déjà copiés "
    "ne seront pas recopiés, %2 restent à copier (%3 Mo).");
const QString ImportNothingLeft = QStringLiteral(
    "Une importation précédente de cette carte est dans ce dossier : ses %1 fichiers y sont "
    "déjà, rien n'est à recopier.");
const QString ImportChoices =
    QStringLiteral("Oui : copier, vérifier chaque copie, puis la transformer.\r"
                   "Non : transformer directement sur la carte.\r"
                   "Annuler : ne rien faire.");
const QString SpaceShort = QStringLiteral(
    "Pas assez de place sur le disque pour copier la carte dans %1 : il faut %2 Mo, il en "
    "reste %3 Mo.\rLibérez de la place, ou répondez « Non » pour transformer sur la carte.");
const QString ProgressCopy = QStringLiteral("Copie de la carte, vérifiée fichier par fichier : %1");
const QString ProgressMegabytes = QStringLiteral("%1 Mo sur %2 Mo");
} // namespace text

// How many names a box lists before it says how many more there are.
constexpr int ForeignShown = 5;

// The stages of the conversion's progress, and of the import before it.
enum Stage { Renaming, Widening, Copying };

constexpr qint64 MiB = 1024 * 1024;

// Megabytes, rounded up: a file of a few bytes is not "0 Mo".
qint64 Megabytes(qint64 bytes) {
    return (bytes + MiB - 1) / MiB;
}

// From the first moment of a run: no other folder can be chosen, nothing else
// started. Afterwards the controls and the focus come back as they were.
class ControlsOff {
public:
    explicit ControlsOff(TForm1* form) : m_focus(form->focusWidget()) {
        const QList<QWidget*> controls{form->DCB,     form->DLB,      form->FLB,
                                       form->Edit1,   form->BtAction, form->BtAide,
                                       form->BtMenu,  form->BitBtn1,  form->BtLecteurs};
        for (QWidget* control : controls)
            if (control->isEnabled()) {
                control->setEnabled(false);
                m_disabled << control;
            }
    }
    ~ControlsOff() {
        for (const QPointer<QWidget>& control : std::as_const(m_disabled))
            if (control)
                control->setEnabled(true);
        if (m_focus)
            m_focus->setFocus();
    }
    ControlsOff(const ControlsOff&) = delete;
    ControlsOff& operator=(const ControlsOff&) = delete;

private:
    QPointer<QWidget> m_focus;
    QList<QPointer<QWidget>> m_disabled;
};

// A box of the program's own, with its OK only.
void ShowBox(QWidget* parent, const QString& text, toolkit::BoxIcon icon) {
    toolkit::MessageRequest request;
    request.parent = parent;
    request.caption = toolkit::programTitle();
    request.text = text;
    request.icon = icon;
    toolkit::showMessage(request);
}

} // namespace

void TForm1::BtActionClick() {
    if (m_run.running())
        return;
    toolkit::runGuarded([this] { convertSelectedFolder(); }, this);
}

void TForm1::convertSelectedFolder() {
    const QString folder = DLB->directory();
    // The lists show the disk as the work left it, whichever way it ends.
    struct Refresh {
        TForm1* form;
        ~Refresh() {
            form->DLB->refresh();
            form->FLB->refresh();
        }
    } refresh{this};
    // On a card, the recordings may first be copied to the user's disk: the
    // conversion then works on the copy and the card stays as it is.
    if (IsCardFolder(folder)) {
        ImportPlan plan;
        {
            const toolkit::OverrideCursor wait(Qt::WaitCursor);
            plan = PlanImport(folder, platform::toWindowsPath(platform::videosHostFolder()));
        }
        if (!plan.files.isEmpty()) {
            switch (offerImport(folder, plan)) {
            case toolkit::Answer::Yes:
                importThenConvert(plan);
                return;
            case toolkit::Answer::No:
                break; // on the card itself, as ever
            default:
                return;
            }
        }
    }
    convertFolder(folder, {});
}

void TForm1::convertFolder(const QString& folder, const QStringList& reportHead) {
    // The folder is looked up once, here: the walk goes on from this handle.
    platform::Folder selected;
    ConversionPlan plan;
    {
        const toolkit::OverrideCursor wait(Qt::WaitCursor);
        selected = OpenSelectedFolder(folder);
        plan = PlanConversion(selected);
    }
    if (!plan.anything) {
        toolkit::showPlainMessage(
            (reportHead + QStringList{text::NothingIn.arg(folder)}).join(QChar(13)), this);
        return;
    }
    // "Non" leaves the folders it names as they are, and only those.
    QStringList leaveAlone;
    int clips = plan.clips;
    if (!plan.foreign.isEmpty() && !confirmForeignFolders(folder, plan.foreign)) {
        if (!plan.anythingBesideForeign) {
            toolkit::showPlainMessage((plan.foreign.size() == 1 ? text::NothingElseOne
                                                                : text::NothingElse)
                                          .arg(folder, QuotedNames(plan.foreign)),
                                      this);
            return;
        }
        leaveAlone = plan.foreign;
        clips = plan.clipsBesideForeign;
    }
    const ConversionReport report = runConversion(std::move(selected), clips, leaveAlone);
    DLB->refresh();
    FLB->refresh();
    showReport(folder, report, reportHead);
    if (m_closeWhenStopped)
        close();
}

toolkit::Answer TForm1::offerImport(const QString& folder, const ImportPlan& plan) {
    const QString drive = QString(platform::winpath::driveLetter(folder)) + u':';
    QStringList lines{text::ImportOffer.arg(folder, drive, plan.destination)};
    if (!plan.earlierImport)
        lines << text::ImportAmount.arg(plan.toCopy()).arg(Megabytes(plan.bytesToCopy()));
    else if (plan.toCopy() > 0)
        lines << text::ImportEarlier.arg(plan.alreadyImported())
                     .arg(plan.toCopy())
                     .arg(Megabytes(plan.bytesToCopy()));
    else
        lines << text::ImportNothingLeft.arg(plan.alreadyImported());
    lines << QString() << text::ImportChoices;
    return toolkit::askYesNoCancel(toolkit::programTitle(), lines.join(QChar(13)), this);
}

void TForm1::importThenConvert(const ImportPlan& plan) {
    SpaceCheck space;
    {
        const toolkit::OverrideCursor wait(Qt::WaitCursor);
        space = CheckSpace(plan);
    }
    if (!space.enough()) {
        ShowBox(this,
                text::SpaceShort.arg(plan.destination)
                    .arg(Megabytes(space.needed))
                    .arg(space.available / MiB),
                toolkit::BoxIcon::Warning);
        return;
    }
    const ImportReport report = runImport(plan);
    const QStringList lines = ImportReportLines(report);
    if (report.stopped || report.halted) {
        // Nothing is converted until the card is wholly copied: run again.
        ShowBox(this, lines.join(QChar(13)), toolkit::BoxIcon::Warning);
        if (m_closeWhenStopped)
            close();
        return;
    }
    // From now on the copy is what the user works on: the selectors show it.
    DLB->setDirectory(plan.destination);
    convertFolder(plan.destination, lines + QStringList{QString()});
}

// The copy runs as the conversion does, on its own thread with its progress
// dialog and its "Annuler".
ImportReport TForm1::runImport(const ImportPlan& plan) {
    m_closeWhenStopped = false;
    const ControlsOff off(this);
    ImportReport report;
    const qint64 total = plan.bytesToCopy();
    const auto job = [&](RunControl& control) {
        ImportHooks hooks;
        hooks.stop = [&control] { return control.stopRequested(); };
        hooks.progress = [&control](const QString& file, qint64 done, qint64, int) {
            control.progress({int(done / MiB), Copying, file});
        };
        report = ImportCard(plan, hooks);
    };
    const auto label = [total](const RunProgress& progress) {
        return text::ProgressCopy.arg(progress.item) + QChar(u'\n') +
               text::ProgressMegabytes.arg(progress.done).arg(Megabytes(total));
    };
    m_run.exec(job, int(qMax<qint64>(1, total / MiB)), label);
    return report;
}

bool TForm1::confirmForeignFolders(const QString& folder, const QStringList& foreign) {
    const bool one = foreign.size() == 1;
    QStringList lines{(one ? text::ForeignHeadOne : text::ForeignHead).arg(folder)};
    for (qsizetype i = 0; i < foreign.size() && i < ForeignShown; ++i)
        lines << QStringLiteral("    ") + foreign[i];
    if (foreign.size() > ForeignShown)
        lines << text::ForeignMore.arg(foreign.size() - ForeignShown);
    lines << (one ? text::ForeignQuestionOne : text::ForeignQuestion)
                 .arg(foreign.first(), MapCamcorderName(foreign.first()));
    toolkit::MessageRequest request;
    request.parent = this;
    request.caption = toolkit::programTitle();
    request.text = lines.join(QChar(13));
    request.buttons = toolkit::Buttons::YesNo;
    request.icon = toolkit::BoxIcon::Question;
    // Renaming what is not a camcorder's cannot be undone: only a deliberate yes.
    request.defaultAnswer = toolkit::Answer::No;
    return toolkit::showMessage(request) == toolkit::Answer::Yes;
}

// The walk runs on its own thread, so that the window keeps painting and the
// progress dialog can stop it. It reaches the card only through the folder
// opened here: nothing the window changes meanwhile (its folders, the working
// folder) reaches it.
ConversionReport TForm1::runConversion(platform::Folder selected, int clips,
                                       const QStringList& leaveAlone) {
    m_closeWhenStopped = false;
    const ControlsOff off(this);

    ConversionReport report;
    const auto job = [&](RunControl& control) {
        ConversionHooks hooks;
        hooks.stop = [&control] { return control.stopRequested(); };
        hooks.leaveAlone = leaveAlone;
        hooks.progress = [&control](const QString& clip, bool widening, int clipsDone) {
            // A clip being set to 16:9 is not done yet: the bar waits for it.
            control.progress(
                {widening ? clipsDone - 1 : clipsDone, widening ? Widening : Renaming, clip});
        };
        report = ConvertFolder(
            std::move(selected), [&control](const QString& message) { control.notice(message); },
            hooks);
    };
    const auto label = [clips](const RunProgress& progress) {
        const bool widening = progress.stage == Widening;
        const QString what = widening ? text::ProgressWiden.arg(progress.item)
                                      : text::ProgressRename.arg(progress.item);
        return what + QChar(u'\n') +
               text::ProgressCount.arg(widening ? progress.done + 1 : progress.done).arg(clips);
    };
    m_run.exec(job, clips, label);
    return report;
}

void TForm1::showReport(const QString& folder, const ConversionReport& report,
                        const QStringList& head) {
    ShowBox(this, (head + QStringList{ConversionReportText(folder, report)}).join(QChar(13)),
            report.failures.isEmpty() && !report.stopped ? toolkit::BoxIcon::Information
                                                         : toolkit::BoxIcon::Warning);
}

} // namespace strovan
