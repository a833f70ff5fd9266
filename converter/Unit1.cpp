#include "converter/Unit1.h"

#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "converter/CamcorderName.h"
#include "converter/CardImport.h"
#include "converter/Conversion.h"
#include "converter/ConversionRun.h"
#include "converter/StartPlace.h"
#include "converter/uRetour.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/Drives.h"
#include "platform/UserFolders.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/Cursors.h"
#include "toolkit/Documents.h"
#include "toolkit/DrivesWindow.h"
#include "toolkit/FocusFrame.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/Jpeg.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>

#include <utility>

// The window's pictures live in the library; Qt registers them on demand.
static void initStrovanPictures() {
    Q_INIT_RESOURCE(Strovan);
}

namespace strovan {

namespace {

// Every text the window shows, in one place.
namespace text {
const QString Caption = QStringLiteral("MOD vers MPG");
const QString Action = QStringLiteral("Transformer les MOD et supprimer le reste");
const QString Aide = QStringLiteral("&Aide");
const QString Menu = QStringLiteral("Menu");
const QString Fermer = QStringLiteral("&Fermer");
const QString Repertoire = QStringLiteral("Répertoire ");
const QString Fichier = QStringLiteral("Fichier");
const QString Lecteurs = QStringLiteral("&Lecteurs");
const QString LecteursHint =
    QStringLiteral("Donner une lettre à un dossier, choisir le disque virtuel");
const QString HelpDocument = suite::below(suite::ConverterHelpDocument);
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

constexpr int OuterWidth = 813;
constexpr int OuterHeight = 405;

const QColor LightBlue(128, 128, 255);
const QColor Yellow(255, 255, 0);
const QColor Navy(0, 0, 128);
const QColor Black(0, 0, 0);

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

QPixmap picture(const QString& resource) {
    return QPixmap::fromImage(toolkit::loadJpeg(resource));
}

QFont tahoma(int pixelSize, bool bold = false) {
    return toolkit::classicFont(QStringLiteral("Tahoma"), pixelSize, bold);
}

} // namespace

toolkit::VirtualDriveSetting VirtualDriveSetting() {
    return {suite::name(suite::SettingsFile), suite::name(suite::SettingsSection),
            suite::name(suite::SettingsKey)};
}

TForm1::TForm1(const QString& startFolder, QWidget* parent)
    : QWidget(parent), m_startFolder(startFolder), m_run(this) {
    initStrovanPictures();
    createControls();
    FormCreate();
    // Installed, the converter's own folder holds nothing to convert.
    if (toolkit::isSystemFolder(m_startFolder))
        OpenOnUserFiles();
}

void TForm1::OpenOnUserFiles() {
    m_openedOnUserFiles = true;
    // The card or the videos folder is where the user wants to be: the
    // virtual disk is not preselected over it.
    m_activated = true;
    const QString folder = UserStartFolder();
    toolkit::runGuarded([&] { DLB->setDirectory(folder); }, this);
}

void TForm1::BtLecteursClick() {
    toolkit::DrivesWindow drives(VirtualDriveSetting(), ParentFolder(m_startFolder), this);
    drives.exec();
}

void TForm1::createControls() {
    setWindowTitle(text::Caption);
    setFont(tahoma(11));
    // The window's own ground and text; each coloured control below sets its
    // whole palette, so that the window reads the same under any theme.
    toolkit::setWindowColours(this, Black, LightBlue);

    Image1 = new QLabel(this);
    toolkit::place(Image1, 8, 8, 777, 41);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(picture(QStringLiteral(":/strovan/banniere.jpg")));
    Image1->setAccessibleName(QStringLiteral("Strovan"));

    DCB = new toolkit::DriveComboBox(this);
    toolkit::place(DCB, 8, 56, 233, 19);
    DLB = new toolkit::DirectoryListBox(this);
    toolkit::place(DLB, 8, 80, 233, 273);
    FLB = new toolkit::FileListBox(this);
    toolkit::place(FLB, 248, 56, 233, 297);
    for (QWidget* selector :
         {static_cast<QWidget*>(DCB), static_cast<QWidget*>(DLB), static_cast<QWidget*>(FLB)})
        toolkit::setColours(selector, Black, Yellow, true);

    BtAction = new toolkit::SpeedButton(text::Action, this);
    toolkit::place(BtAction, 488, 56, 297, 65);
    BtAction->setFont(tahoma(11, true));
    BtAction->setIcon(picture(QStringLiteral(":/strovan/bt_action.jpg")));
    BtAction->setIconSize(QSize(32, 32));

    BtAide = new toolkit::BitButton(toolkit::BitButton::Kind::Help, text::Aide, this);
    toolkit::place(BtAide, 488, 128, 81, 33);
    BtMenu = new toolkit::SpeedButton(text::Menu, this);
    toolkit::place(BtMenu, 576, 128, 97, 33);
    BtMenu->setIcon(picture(QStringLiteral(":/strovan/bt_menu.jpg")));
    BtMenu->setIconSize(QSize(24, 24));
    BitBtn1 = new toolkit::BitButton(toolkit::BitButton::Kind::Close, text::Fermer, this);
    toolkit::place(BitBtn1, 680, 128, 105, 33);
    for (QWidget* button : {static_cast<QWidget*>(BtAide), static_cast<QWidget*>(BtMenu),
                            static_cast<QWidget*>(BitBtn1)})
        button->setFont(tahoma(21, true));
    for (QWidget* button : {static_cast<QWidget*>(BtAction), static_cast<QWidget*>(BtAide),
                            static_cast<QWidget*>(BtMenu), static_cast<QWidget*>(BitBtn1)})
        toolkit::setColours(button, Navy, toolkit::ButtonFace);
    // The keyboard reaches every button that acts, the speed buttons too.
    BtAction->setFocusPolicy(Qt::TabFocus);
    BtMenu->setFocusPolicy(Qt::TabFocus);

    Label2 = new QLabel(text::Repertoire, this);
    toolkit::place(Label2, 488, 200, 64, 16);
    Label1 = new QLabel(this);
    toolkit::place(Label1, 560, 200, 187, 16);
    Label3 = new QLabel(text::Fichier, this);
    toolkit::place(Label3, 488, 224, 38, 16);
    for (QLabel* label : {Label2, Label1, Label3})
        label->setFont(tahoma(13));
    toolkit::setColours(Label2, Black, LightBlue);
    toolkit::setColours(Label3, Black, LightBlue);

    Edit1 = new QLineEdit(this);
    toolkit::place(Edit1, 536, 220, 241, 21);

    Label4 = new QLabel(suite::versionText(), this);
    toolkit::place(Label4, 488, 264, 200, 23);
    Label5 = new toolkit::LinkLabel(suite::addressB(), this);
    toolkit::place(Label5, 488, 296, 179, 23);
    Label6 = new toolkit::LinkLabel(suite::addressA(), this);
    toolkit::place(Label6, 488, 328, 230, 23);
    for (QLabel* label :
         {Label1, Label4, static_cast<QLabel*>(Label5), static_cast<QLabel*>(Label6)})
        toolkit::setColours(label, Yellow, LightBlue);
    for (QLabel* label : {Label4, static_cast<QLabel*>(Label5), static_cast<QLabel*>(Label6)})
        label->setFont(tahoma(19, true));
    // A host without Tahoma draws wider: a label never cuts its own text.
    for (QLabel* label :
         {Label2, Label3, Label4, static_cast<QLabel*>(Label5), static_cast<QLabel*>(Label6)})
        label->resize(qMax(label->width(), label->sizeHint().width()), label->height());

    const std::pair<QWidget*, const char*> names[] = {
        {Image1, "Image1"},     {DCB, "DCB"},       {DLB, "DLB"},       {FLB, "FLB"},
        {BtAction, "BtAction"}, {BtAide, "BtAide"}, {BtMenu, "BtMenu"}, {BitBtn1, "BitBtn1"},
        {Label2, "Label2"},     {Label1, "Label1"}, {Label3, "Label3"}, {Edit1, "Edit1"},
        {Label4, "Label4"},     {Label5, "Label5"}, {Label6, "Label6"}};
    for (const auto& [control, name] : names)
        control->setObjectName(QLatin1String(name));

    // The selectors follow one another; Label1 sizes itself to the folder.
    DLB->setDirLabel(Label1);
    DLB->setFileList(FLB);
    FLB->setFileEdit(Edit1);
    DCB->setDirList(DLB);
    // Label1 takes the width of its text and keeps its line's height.
    auto fitLabel1 = [this] { Label1->resize(Label1->sizeHint().width(), 16); };
    fitLabel1();
    connect(DLB, &toolkit::DirectoryListBox::changed, Label1, fitLabel1);

    connect(BtAction, &QPushButton::clicked, this, &TForm1::BtActionClick);
    connect(BtAide, &QPushButton::clicked, this, &TForm1::BtAideClick);
    connect(BtMenu, &QPushButton::clicked, this, &TForm1::BtMenuClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
    connect(Label5, &toolkit::LinkLabel::clicked, this, &TForm1::Label5Click);
    connect(Label6, &toolkit::LinkLabel::clicked, this, &TForm1::Label6Click);

    // Below "Aide", above the folder's name: the free room among the buttons
    // that are not the conversion's.
    BtLecteurs = new QPushButton(text::Lecteurs, this);
    BtLecteurs->setObjectName(QStringLiteral("BtLecteurs"));
    BtLecteurs->setToolTip(text::LecteursHint);
    toolkit::place(BtLecteurs, 488, 167, 81, 27);
    toolkit::setColours(BtLecteurs, Navy, toolkit::ButtonFace);
    connect(BtLecteurs, &QPushButton::clicked, this, &TForm1::BtLecteursClick);
    // Screen readers name each field by its label, or by what it holds.
    Label2->setBuddy(DLB);
    Label3->setBuddy(Edit1);
    // Lists and the drive selector take no name from a label: given here.
    DCB->setAccessibleName(QStringLiteral("Lecteur"));
    DCB->setAccessibleDescription(DCB->accessibleName());
    DLB->setAccessibleName(text::Repertoire.trimmed());
    FLB->setAccessibleName(QStringLiteral("Fichiers"));

    // Reading order: the selectors column by column, then the buttons left
    // to right and the one below them, the file name and the two addresses.
    const QList<QWidget*> order{DCB,     DLB,        FLB,   BtAction, BtAide, BtMenu,
                                BitBtn1, BtLecteurs, Edit1, Label5,   Label6};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    DCB->setFocus();
    toolkit::showFocusFromTheStart(this);

    // Until the window manager tells its frame, take the whole size as ours.
    setFixedSize(OuterWidth, OuterHeight);
    toolkit::placeOnScreen(this);
}

void TForm1::FormCreate() {
    m_activated = false;
}

void TForm1::FormActivate() {
    if (m_activated || m_activating)
        return;
    m_activating = true;
    const QString designation =
        toolkit::readVirtualDrive(VirtualDriveSetting(), ParentFolder(m_startFolder));
    bool done = false;
    toolkit::runGuarded(
        [&] {
            preselectDrive(designation);
            done = true;
        },
        this);
    // After an error the next activation tries again.
    m_activated = done;
    m_activating = false;
}

void TForm1::preselectDrive(const QString& designation) {
    // The entries begin "x:", so only an upper-case "X:" finds its drive.
    for (int i = 0; i < DCB->count(); ++i) {
        if (DCB->itemText(i).left(2).toUpper() != designation)
            continue;
        DCB->setDrive(designation.at(0));
        DLB->refresh();
        return;
    }
}

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
    toolkit::MessageRequest request;
    request.parent = this;
    request.caption = toolkit::programTitle();
    request.text = lines.join(QChar(13));
    request.buttons = toolkit::Buttons::YesNoCancel;
    request.icon = toolkit::BoxIcon::Question;
    request.defaultAnswer = toolkit::Answer::Yes;
    return toolkit::showMessage(request);
}

void TForm1::importThenConvert(const ImportPlan& plan) {
    SpaceCheck space;
    {
        const toolkit::OverrideCursor wait(Qt::WaitCursor);
        space = CheckSpace(plan);
    }
    if (!space.enough()) {
        toolkit::MessageRequest request;
        request.parent = this;
        request.caption = toolkit::programTitle();
        request.text = text::SpaceShort.arg(plan.destination)
                           .arg(Megabytes(space.needed))
                           .arg(space.available / MiB);
        request.icon = toolkit::BoxIcon::Warning;
        toolkit::showMessage(request);
        return;
    }
    const ImportReport report = runImport(plan);
    const QStringList lines = ImportReportLines(report);
    if (report.stopped || report.halted) {
        // Nothing is converted until the card is wholly copied: run again.
        toolkit::MessageRequest request;
        request.parent = this;
        request.caption = toolkit::programTitle();
        request.text = lines.join(QChar(13));
        request.icon = toolkit::BoxIcon::Warning;
        toolkit::showMessage(request);
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
    toolkit::MessageRequest request;
    request.parent = this;
    request.caption = toolkit::programTitle();
    request.text = (head + QStringList{ConversionReportText(folder, report)}).join(QChar(13));
    request.icon = report.failures.isEmpty() && !report.stopped ? toolkit::BoxIcon::Information
                                                                : toolkit::BoxIcon::Warning;
    toolkit::showMessage(request);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The walk ends between two writes; the window closes once it has.
    if (m_run.running()) {
        m_run.requestStop();
        m_closeWhenStopped = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm1::BtAideClick() {
    toolkit::openDocumentOrTell(m_startFolder + text::HelpDocument, this);
}

void TForm1::BtMenuClick() {
    toolkit::runGuarded([this] { ReturnToMenu(m_startFolder); }, this);
}

// Each label opens the other's address.
void TForm1::Label5Click() {
    toolkit::openAddressOrTell(suite::webUrl(suite::addressA()), this);
}

void TForm1::Label6Click() {
    toolkit::openAddressOrTell(suite::webUrl(suite::addressB()), this);
}

bool TForm1::event(QEvent* event) {
    // Only leaving for another program counts: coming back from one of our
    // own boxes is no new activation, else an error box would come back as
    // soon as it is closed.
    if (event->type() == QEvent::WindowDeactivate && !m_activating &&
        !QApplication::activeWindow() && !QApplication::activeModalWidget())
        m_cameFromOutside = true;
    if (event->type() == QEvent::WindowActivate) {
        fitOuterSize();
        if (m_cameFromOutside) {
            m_cameFromOutside = false;
            // Once the window is painted; a box may come from it.
            QTimer::singleShot(0, this, &TForm1::FormActivate);
        }
    }
    return QWidget::event(event);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitOuterSize();
    // Without a window manager the window is never activated: its first
    // showing counts as its first activation.
    if (m_cameFromOutside && !event->spontaneous()) {
        m_cameFromOutside = false;
        QTimer::singleShot(0, this, &TForm1::FormActivate);
    }
}

void TForm1::fitOuterSize() {
    toolkit::fitOuterSize(this, {OuterWidth, OuterHeight});
}

} // namespace strovan
