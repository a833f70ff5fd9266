#include "launcher/UniteP.h"

#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "launcher/FmxUtils.h"
#include "launcher/Pictures.h"
#include "launcher/SupportsVideo.h"
#include "launcher/u_CdSite.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WorkingFolder.h"
#include "toolkit/Documents.h"
#include "toolkit/DrivesWindow.h"
#include "toolkit/FocusFrame.h"
#include "toolkit/Jpeg.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QPushButton>
#include <QLabel>

namespace pelmora {

namespace {

// The menu's texts, in one place.
namespace text {
const QString Title = QStringLiteral("Création d'un site Web");
const QString PreRequis =
    QStringLiteral("Cliquez ici pour savoir, si avant de commencer, vous avez "
                   "déjà mis en place l'indispensable...");
const QString SiteHtm = QStringLiteral("Construire les composantes du  CD/DVD Site");
const QString Video = QStringLiteral("Assistance video");
const QString Aide = QStringLiteral("&Aide");
const QString Fin = QStringLiteral("&Fermer");
const QString AttentionCaption = QStringLiteral("ATTENTION");
const QString Attention =
    QStringLiteral("Avez-vous créé la page index.htm dans la racine virtuelle di CD/DVD\r"
                   "Dans le cas contraire vous devez la créer avant de poursuivre");
const QString Lecteurs = QStringLiteral("&Lecteurs");
const QString LecteursHint =
    QStringLiteral("Donner une lettre à un dossier, choisir le disque virtuel");
const QString HelpDocument = suite::below(suite::HelpDocument);
const QString PrerequisitesDocument = suite::below(suite::PrerequisitesDocument);
} // namespace text

// A button of the menu for one tool of the suite's table (suite::Tools).
struct ToolRow {
    const char* objectName;
    std::size_t tool;
    QRect geometry;
};

// In the reading order of the buttons, top to bottom, left to right.
const QList<ToolRow>& toolRows() {
    static const QList<ToolRow> rows{
        {"SpeedButton2", 0, {21, 170, 305, 33}},  {"SpeedButton5", 1, {332, 168, 305, 33}},
        {"SpeedButton6", 2, {330, 209, 305, 33}}, {"SpeedButton3", 3, {19, 248, 305, 33}},
        {"SpeedButton4", 4, {330, 248, 305, 33}}, {"SpeedButton1", 5, {21, 288, 303, 33}},
    };
    return rows;
}

// Reading order: top to bottom, left to right.
const char* const TabOrder[] = {"BtAide",       "BtFin",        "BtLecteurs",   "PreRequis",    "SpeedButton2",
                                "SpeedButton5", "BtSiteHtm",    "SpeedButton6", "SpeedButton3",
                                "SpeedButton4", "SpeedButton1", "BtVideo",      "Label1",
                                "Label3"};

const QColor Orange(255, 128, 0);
const QColor Black(0, 0, 0);

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(text::Title);
    const QFont regular = toolkit::classicFont(QStringLiteral("MS Sans Serif"), 11);
    const QFont bold = toolkit::classicFont(QStringLiteral("MS Sans Serif"), 11, true);
    const QFont label = toolkit::classicFont(QStringLiteral("MS Sans Serif"), 16, true);
    setFont(regular);
    // Black text on the orange ground whatever the desktop's theme; the
    // buttons, which the layout does not colour, keep the desktop's look.
    toolkit::setWindowColours(this, Black, Orange);
    setFixedSize(647, 402);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    toolkit::place(bevel, 21, 8, 500, 107);

    auto* banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Image2"));
    banner->setScaledContents(true);
    banner->setAccessibleName(QStringLiteral("Pelmora"));
    loadPictures();
    const QImage picture = toolkit::loadJpeg(QStringLiteral(":/pictures/banner.jpg"));
    if (!picture.isNull())
        banner->setPixmap(QPixmap::fromImage(picture));
    toolkit::place(banner, 31, 16, 482, 89);

    auto speed = [this, &bold](const char* name, const QString& caption, QRect geometry) {
        auto* button = new toolkit::SpeedButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(bold);
        // Every action is reachable from the keyboard too.
        button->setFocusPolicy(Qt::StrongFocus);
        button->setGeometry(geometry);
        return button;
    };

    connect(speed("PreRequis", text::PreRequis, {18, 121, 617, 41}), &QPushButton::clicked, this,
            &TForm1::PreRequisClick);
    for (int row = 0; row < toolRows().size(); ++row) {
        const ToolRow& r = toolRows()[row];
        const suite::Tool& tool = suite::Tools[r.tool];
        QPushButton* button = speed(r.objectName, suite::name(tool.caption), r.geometry);
        m_tools.append(ToolEntry{button, suite::below(tool.folder), suite::name(tool.program)});
        connect(button, &QPushButton::clicked, this, [this, row] { ToolButtonClick(row); });
    }
    connect(speed("BtSiteHtm", text::SiteHtm, {19, 209, 305, 33}), &QPushButton::clicked, this,
            &TForm1::BtSiteHtmClick);
    connect(speed("BtVideo", text::Video, {330, 287, 305, 33}), &QPushButton::clicked, this,
            &TForm1::BtVideoClick);

    // Created after the menu's buttons: the focus starts on the first tool.
    auto* fin = new toolkit::BitButton(toolkit::BitButton::Kind::Close, text::Fin, this);
    fin->setObjectName(QStringLiteral("BtFin"));
    toolkit::place(fin, 559, 47, 71, 33);
    connect(fin, &QPushButton::clicked, this, &TForm1::BtFinClick);

    auto* aide = new toolkit::BitButton(toolkit::BitButton::Kind::Help, text::Aide, this);
    aide->setObjectName(QStringLiteral("BtAide"));
    toolkit::place(aide, 559, 8, 71, 33);
    connect(aide, &QPushButton::clicked, this, &TForm1::BtAideClick);

    // Below "Fermer", beside the banner: the one free place at the top,
    // among the window's other buttons that are not tools.
    auto* lecteurs = new QPushButton(text::Lecteurs, this);
    lecteurs->setObjectName(QStringLiteral("BtLecteurs"));
    lecteurs->setToolTip(text::LecteursHint);
    toolkit::place(lecteurs, 559, 86, 71, 33);
    connect(lecteurs, &QPushButton::clicked, this, &TForm1::BtLecteursClick);

    auto* label1 = new toolkit::LinkLabel(suite::addressA(), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setFont(label);
    toolkit::setColours(label1, Black, Orange);
    toolkit::place(label1, 21, 368, 181, 20);
    connect(label1, &toolkit::LinkLabel::clicked, this, &TForm1::Label1Click);

    auto* label3 = new toolkit::LinkLabel(suite::addressB(), this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setFont(label);
    toolkit::place(label3, 234, 368, 138, 20);
    connect(label3, &toolkit::LinkLabel::clicked, this, &TForm1::Label3Click);

    auto* label2 = new QLabel(suite::versionText(), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setFont(label);
    toolkit::place(label2, 411, 368, 176, 20);

    QWidget* previous = nullptr;
    for (const char* name : TabOrder) {
        QWidget* next = findChild<QWidget*>(QString::fromLatin1(name));
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
    // The focus starts on the first tool, so that Space never ends the
    // launcher by surprise.
    m_tools.first().button->setFocus();

    toolkit::showFocusFromTheStart(this);
    toolkit::placeOnScreen(this);
    FormCreate();
}

void TForm1::setCompanions(TFormVideo* video, TForm3* site) {
    m_video = video;
    m_site = site;
}

QPushButton* TForm1::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void TForm1::FormCreate() {
    m_startFolder = platform::currentFolder();
}

void TForm1::ToolButtonClick(int row) {
    const ToolEntry& tool = m_tools.at(row);
    const QString folder = m_startFolder + tool.folder;
    const int result =
        LaunchInFolder(tool.program, QStringLiteral("MENU"), folder, platform::ShowNormal);
    if (result > 32) {
        emit terminating();
        endLauncher();
        return;
    }
    // The launcher stays: the user must not be left with no window and no word.
    toolkit::MessageRequest request;
    request.parent = this;
    request.caption = toolkit::programTitle();
    request.icon = toolkit::BoxIcon::Error;
    request.text = QStringLiteral("Impossible de démarrer le programme %1\rdans le dossier %2")
                       .arg(tool.program, folder);
    toolkit::showMessage(request);
}

void TForm1::BtAideClick() {
    toolkit::openDocumentOrTell(m_startFolder + text::HelpDocument, this);
}

void TForm1::PreRequisClick() {
    toolkit::openDocumentOrTell(m_startFolder + text::PrerequisitesDocument, this);
}

void TForm1::BtSiteHtmClick() {
    if (toolkit::askYesNoCancel(text::AttentionCaption, text::Attention, this) !=
        toolkit::Answer::Yes)
        return;
    if (m_site) {
        m_site->show();
        m_site->raise();
        m_site->activateWindow();
    }
}

void TForm1::BtLecteursClick() {
    toolkit::DrivesWindow drives(virtualDriveSetting(), m_startFolder, this);
    connect(&drives, &toolkit::DrivesWindow::virtualDriveChanged, this, [this] {
        if (m_site)
            m_site->followVirtualDrive();
    });
    drives.exec();
}

void TForm1::BtVideoClick() {
    if (m_video) {
        m_video->show();
        m_video->raise();
    }
}

void TForm1::openAddressA() {
    // Without a browser the user is told what to install.
    toolkit::openAddressOrTell(suite::webUrl(suite::addressA()), this);
}

void TForm1::Label1Click() {
    openAddressA();
}

void TForm1::Label3Click() {
    openAddressA();
}

void TForm1::BtFinClick() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing the menu ends the program, even with the other windows shown.
    QWidget::closeEvent(event);
    endLauncher();
}

void TForm1::endLauncher() {
    // quit() first asks every window to close, and the companions refuse
    // (their close box only hides them): exit() ends the loop whatever is shown.
    if (m_video)
        m_video->hide();
    if (m_site)
        m_site->hide();
    QCoreApplication::exit(0);
}

} // namespace pelmora
