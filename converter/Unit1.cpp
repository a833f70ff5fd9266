#include "converter/Unit1.h"

#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "converter/Conversion.h"
#include "converter/ConversionRun.h"
#include "converter/StartPlace.h"
#include "converter/uRetour.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/Drives.h"
#include "platform/WorkingFolder.h"
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
#include <QShowEvent>
#include <QTimer>

#include <utility>

// The window's pictures live in the library; Qt registers them on demand.
static void initStrovanPictures() {
    Q_INIT_RESOURCE(Strovan);
}

namespace strovan {

namespace {

// The window's own texts; those of its work on a folder are beside that work
// (WindowConversion.cpp).
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
} // namespace text

constexpr int OuterWidth = 813;
constexpr int OuterHeight = 405;

const QColor LightBlue(128, 128, 255);
const QColor Yellow(255, 255, 0);
const QColor Navy(0, 0, 128);
const QColor Black(0, 0, 0);

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
