#include "launcher/u_CdSite.h"

#include "common/SuiteInfo.h"
#include "common/SuiteLayout.h"
#include "launcher/AutorunInf.h"
#include "launcher/FmxUtils.h"
#include "launcher/RootSave.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WinPath.h"
#include "toolkit/Cursors.h"
#include "toolkit/Documents.h"
#include "toolkit/FocusFrame.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"
#include "toolkit/OpenFileDialog.h"
#include "toolkit/SuiteSettings.h"
#include "toolkit/Widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStyle>

#include <exception>
#include <utility>

namespace pelmora {

namespace {

namespace wp = platform::winpath;

// The window's texts, in one place.
namespace text {
const QString Caption = QStringLiteral("CD_Site");
const QString Group1 = QStringLiteral("1.Sélection du disque virtuel");
const QString Group2 = QStringLiteral("2.Sélection de la racine virtuellel");
const QString Group3 = QStringLiteral("3. Sélection du fichier index.htm");
const QString Group4 = QStringLiteral("4. Chercher un fichier ICO");
const QString Group5 = QStringLiteral("Autorun.inf  (Vérifiez l'exactitude, ne rien écrire)");
const QString Group9 = QStringLiteral("Renseignez-vous sur les sites suivants");
const QString Parcourir = QStringLiteral("Parcourir");
const QString Enreg = QStringLiteral("Voir et enregistrer le racine disque virtuel");
const QString Aide = QStringLiteral("&Aide");
const QString Quitter = QStringLiteral("Quitter");
const QString NoSpam = QStringLiteral("         (Ni spam, ni cookies)");
const QString StartPageMask = QStringLiteral("*.htm*");

const QString NotRoot =
    QStringLiteral("La racine n'est pas sélectionné correctement à l'étape 2!\rRecommencez");
const QString NoStartPage =
    QStringLiteral("Vous devez sélectionner le fichier Index.htm, ou semblable (voir aide) "
                   "servant pour l'autorun\rRecommencez");
const QString NotAStartPage =
    QStringLiteral("« %1 » ne peut pas être la page de démarrage du disque :\r%2");
const QString AskCaption = QStringLiteral("Avertissement");
const QString Ask = QStringLiteral(
    "Voulez-vous enregistrer ? Ne cliquez le bouton Oui, que si Autorun.inf vous semble correct");
const QString Failed =
    QStringLiteral("L'un des composants n'est pas sélectionné correctement.\rRecommencez");
const QString Saved = QStringLiteral("Racine du disque virtuel enregistrée : %1");
const QString StepAutorun = QStringLiteral("Copie Autorun.inf");
const QString StepProgram = QStringLiteral("Copie ") + suite::name(suite::AutorunProgram);

const QString IconFolder = suite::below(suite::IconFolder) + QLatin1Char('\\');
const QString HelpDocument = suite::below(suite::CdSiteDocument);

const QString DialogTitle = QStringLiteral("Ouvrir");
const QString IconFiles = QStringLiteral("Icônes (*.ico)");
const QString AllFiles = QStringLiteral("Tous les fichiers (*.*)");
} // namespace text

const QColor Orange(255, 128, 0);
// The captions' red, a shade deeper than pure red, which stands out too little
// from the button face to be read at this size.
const QColor Red(192, 0, 0);
const QColor Black(0, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor Blue(0, 0, 255);

QString realIconDialog(QWidget* parent, const QString& hostFolder) {
    const QString chosen = toolkit::OpenFileDialog::getOpenFileName(
        parent, text::DialogTitle, platform::toWindowsPath(hostFolder),
        {{text::IconFiles, QStringLiteral("*.ico")}, {text::AllFiles, QStringLiteral("*.*")}});
    // A typed name of a file that does not exist is taken as it is.
    return chosen.isEmpty() ? QString() : platform::toHostPathExactName(chosen);
}

IconDialog& iconDialog() {
    static IconDialog dialog;
    return dialog;
}

QGroupBox* groupBox(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                    bool orange) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    if (orange)
        // The ground and the title only: the controls inside keep the
        // desktop's colours.
        toolkit::setWindowColours(box, Black, Orange);
    box->setGeometry(geometry);
    return box;
}

} // namespace

toolkit::VirtualDriveSetting virtualDriveSetting() {
    return {suite::name(suite::SettingsFile), suite::name(suite::SettingsSection),
            suite::name(suite::SettingsKey)};
}

void setIconDialog(IconDialog dialog) {
    iconDialog() = std::move(dialog);
}

QStringList TForm3::instructionLines() {
    return {
        QStringLiteral("Mode d'emploi à cette étape"),
        QString(),
        QStringLiteral("- Le disque virtuel doit être créé sur votre disque dur"),
        QStringLiteral("- Vous devez avoir créé le répertoire principal du disque virtuel et il "
                       "doit "),
        QStringLiteral("contenir le fichier index.htm de démarrage (il peut être vide)"),
        QStringLiteral("- Complétez les 4 premières rubriques demandées et cliquez le bouton"),
        QStringLiteral(" <Voir et enregistrer la racine du disque virtuel>"),
        QStringLiteral("L'INSTALLATION de la racine du disque virtuel se fait alors "),
        QStringLiteral("AUTOMATIQUEMENT"),
    };
}

TForm3::TForm3(const QString& startFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_startFolder(startFolder) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(text::Caption);
    setFont(toolkit::classicFont(QStringLiteral("Tahoma"), 11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(489, 544);

    const QFont buttonFont = toolkit::classicFont(QStringLiteral("MS Sans Serif"), 11, true);
    const QFont addressFont = toolkit::classicFont(QStringLiteral("MS Sans Serif"), 13, true);

    auto* memo2 = new QPlainTextEdit(this);
    memo2->setObjectName(QStringLiteral("Memo2"));
    memo2->setPlainText(instructionLines().join(u'\n'));
    memo2->setReadOnly(true);
    memo2->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    memo2->setTabChangesFocus(true);
    memo2->setFont(buttonFont);
    memo2->setAccessibleName(instructionLines().first());
    toolkit::setColours(memo2, Yellow, Blue, true);
    toolkit::place(memo2, 15, 9, 465, 105);

    QGroupBox* group1 = groupBox(this, "GroupBox1", text::Group1, {15, 120, 177, 57}, true);
    QGroupBox* group2 = groupBox(this, "GroupBox2", text::Group2, {15, 184, 177, 209}, true);
    QGroupBox* group3 = groupBox(this, "GroupBox3", text::Group3, {15, 400, 177, 65}, true);
    QGroupBox* group4 = groupBox(this, "GroupBox4", text::Group4, {15, 471, 177, 57}, true);
    QGroupBox* group5 = groupBox(this, "GroupBox5", text::Group5, {199, 119, 281, 161}, true);

    // Created from the file list up, so that each selector finds the one it
    // feeds already there when it starts on the working folder.
    m_flb = new toolkit::FileListBox(group3);
    m_flb->setObjectName(QStringLiteral("FLB"));
    m_flb->setMask(text::StartPageMask);
    toolkit::place(m_flb, 8, 16, 161, 41);
    connect(m_flb, &QListWidget::itemSelectionChanged, this, &TForm3::FLBChange);

    m_dlb = new toolkit::DirectoryListBox(group2);
    m_dlb->setObjectName(QStringLiteral("DLB"));
    m_dlb->setFileList(m_flb);
    toolkit::place(m_dlb, 8, 16, 161, 185);

    m_dcb = new toolkit::DriveComboBox(group1);
    m_dcb->setObjectName(QStringLiteral("DCB"));
    m_dcb->setDirList(m_dlb);
    toolkit::place(m_dcb, 8, 24, 161, 19);

    auto* parcourir = new QPushButton(text::Parcourir, group4);
    parcourir->setObjectName(QStringLiteral("BtParcourir"));
    toolkit::place(parcourir, 16, 24, 145, 25);
    m_parcourir = parcourir;
    connect(parcourir, &QPushButton::clicked, this, &TForm3::BtParcourirClick);

    m_memo1 = new QPlainTextEdit(group5);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A preview to check, not to type into: the save writes what it computed.
    m_memo1->setReadOnly(true);
    m_memo1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_memo1->setTabChangesFocus(true);
    toolkit::setColours(m_memo1, Black, Qt::white, true);
    toolkit::place(m_memo1, 7, 16, 265, 137);

    auto* enreg = new toolkit::SpeedButton(text::Enreg, this);
    enreg->setObjectName(QStringLiteral("BtEnreg"));
    enreg->setFont(buttonFont);
    enreg->setFocusPolicy(Qt::StrongFocus);
    toolkit::setColours(enreg, Red, toolkit::ButtonFace);
    toolkit::place(enreg, 198, 286, 281, 33);
    connect(enreg, &QPushButton::clicked, this, &TForm3::BtEnregClick);

    auto* aide = new toolkit::BitButton(toolkit::BitButton::Kind::Help, text::Aide, this);
    aide->setObjectName(QStringLiteral("BtAide"));
    aide->setFont(buttonFont);
    toolkit::setColours(aide, Red, toolkit::ButtonFace);
    toolkit::place(aide, 198, 325, 145, 41);
    connect(aide, &QPushButton::clicked, this, &TForm3::BtAideClick);

    auto* quitter = new toolkit::SpeedButton(text::Quitter, this);
    quitter->setObjectName(QStringLiteral("BtQuitter"));
    quitter->setFont(buttonFont);
    quitter->setFocusPolicy(Qt::StrongFocus);
    quitter->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    quitter->setIconSize(QSize(16, 16));
    toolkit::setColours(quitter, Red, toolkit::ButtonFace);
    toolkit::place(quitter, 352, 325, 129, 41);
    connect(quitter, &QPushButton::clicked, this, &TForm3::BtQuitterClick);

    m_pl = new QLabel(this);
    m_pl->setObjectName(QStringLiteral("Pl"));
    m_pl->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_pl->setLineWidth(1);
    m_pl->setAlignment(Qt::AlignCenter);
    toolkit::setColours(m_pl, Black, Yellow, true);
    toolkit::place(m_pl, 198, 372, 281, 33);

    QGroupBox* group9 = groupBox(this, "GroupBox9", text::Group9, {198, 411, 281, 117}, false);
    const struct {
        const char* name;
        QString text;
        QRect geometry;
    } addresses[] = {
        {"Label1", suite::siteAddress1(), {26, 20, 151, 16}},
        {"Label2", suite::siteAddress2(), {26, 38, 151, 16}},
        {"Label3", suite::siteAddress3(), {26, 56, 117, 16}},
    };
    for (const auto& address : addresses) {
        auto* label = new QLabel(address.text, group9);
        label->setObjectName(QString::fromLatin1(address.name));
        label->setFont(addressFont);
        label->setGeometry(address.geometry);
    }
    auto* version = new QLabel(suite::versionText() + text::NoSpam, group9);
    version->setObjectName(QStringLiteral("Label4"));
    toolkit::place(version, 24, 80, 242, 13);

    // Screen readers name each selector by its step.
    const std::pair<QWidget*, QGroupBox*> steps[] = {
        {m_dcb, group1}, {m_dlb, group2}, {m_flb, group3}, {m_memo1, group5}};
    for (const auto& [control, group] : steps) {
        control->setAccessibleName(group->title());
        // A drive selector is read by its entry: the step goes in its description.
        control->setAccessibleDescription(group->title());
    }
    m_pl->setAccessibleDescription(QStringLiteral("État"));

    // Reading order: the instructions, the steps down the left column, then
    // the preview and the buttons on the right; the focus starts on step 1.
    const QList<QWidget*> order{memo2,   m_dcb, m_dlb, m_flb,  parcourir,
                                m_memo1, enreg, aide,  quitter};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_dcb->setFocus(); // the instructions were made first, and would take it
    toolkit::showFocusFromTheStart(this);
}

void TForm3::setStatus(const QString& status) {
    m_pl->setText(status);
    // The writes run inside the click: show the step before it starts.
    m_pl->repaint();
}

void TForm3::FLBChange() {
    const QString page = m_flb->fileName();
    if (page.isEmpty())
        return;
    const QString why = AutorunNameRefusal(page);
    if (!why.isEmpty())
        toolkit::showPlainMessage(text::NotAStartPage.arg(page, why), this);
}

void TForm3::BtParcourirClick() {
    QString hostFolder = platform::toHostPath(m_startFolder + text::IconFolder);
    if (hostFolder.isEmpty())
        hostFolder = platform::toHostPath(m_startFolder);
    const IconDialog& dialog = iconDialog();
    const QString chosen = dialog ? dialog(this, hostFolder) : realIconDialog(this, hostFolder);
    if (!chosen.isEmpty())
        m_iconPath = platform::toWindowsPath(chosen);
    showChosenIcon();
}

void TForm3::showChosenIcon() {
    // Beside step 4, the icon the disc will show; a file that is no readable
    // icon still shows that one is chosen.
    QIcon icon;
    if (!m_iconPath.isEmpty()) {
        const QPixmap picture(platform::toHostPath(m_iconPath));
        icon = picture.isNull() ? style()->standardIcon(QStyle::SP_FileIcon) : QIcon(picture);
    }
    m_parcourir->setIcon(icon);
    m_parcourir->setToolTip(m_iconPath);
}

void TForm3::preselectVirtualDrive() {
    // As the converter does: the suite's virtual drive, when one is named and
    // listed; nothing is said otherwise.
    const QString designation = toolkit::readVirtualDrive(virtualDriveSetting(), m_startFolder);
    bool done = false;
    toolkit::runGuarded(
        [&] {
            bool found = false;
            for (int i = 0; i < m_dcb->count() && !designation.isEmpty(); ++i) {
                if (m_dcb->itemText(i).left(2).toUpper() != designation)
                    continue;
                m_dcb->setDrive(designation.at(0));
                m_dlb->refresh();
                found = true;
                break;
            }
            // An installed suite's own folder holds no site: without a
            // virtual disk the user's home is the better start.
            if (!found && toolkit::isSystemFolder(m_dlb->directory()) &&
                platform::driveReady(u'C'))
                m_dcb->setDrive(u'C');
            done = true;
        },
        this);
    // A drive that is not ready is tried again at the next showing.
    m_preselected = done;
}

void TForm3::BtEnregClick() {
    const QString folder = m_dlb->directory();
    if (folder.size() > 3) {
        toolkit::showPlainMessage(text::NotRoot, this);
        return;
    }
    const QString startPage = m_flb->fileName();
    if (startPage.isEmpty()) {
        toolkit::showPlainMessage(text::NoStartPage, this);
        return;
    }
    try {
        const QString root = folder.left(3);
        const QStringList lines = AutorunLines(m_iconPath, startPage);
        m_memo1->setPlainText(lines.join(u'\n'));
        // Before asking: a name the disc readers could not find is refused
        // while nothing has been written yet.
        const QByteArray autorun = AutorunBytes(lines);
        // What the disc's program will read, not what was meant.
        m_memo1->setPlainText(AutorunPreview(autorun).join(u'\n'));

        toolkit::MessageRequest ask;
        ask.parent = this;
        ask.caption = text::AskCaption;
        ask.text = text::Ask;
        ask.buttons = toolkit::Buttons::YesNo;
        ask.icon = toolkit::BoxIcon::Warning;
        ask.defaultAnswer = toolkit::Answer::Yes;
        // The user must be able to read the preview the box asks about.
        ask.keepVisible = m_memo1;
        if (toolkit::showMessage(ask) != toolkit::Answer::Yes)
            return;
        RootSaveOutcome outcome;
        {
            const toolkit::OverrideCursor wait(Qt::WaitCursor);
            outcome = SaveRoot(root, autorun, m_startFolder, m_iconPath, [this](SaveStep step) {
                setStatus(step == SaveStep::Autorun   ? text::StepAutorun
                          : step == SaveStep::Program ? text::StepProgram
                                                      : m_iconPath);
            });
        }
        if (!outcome.saved()) {
            toolkit::showPlainMessage(text::Failed + u'\r' + outcome.reason, this);
            return;
        }
        setStatus(QString());
        toolkit::showPlainMessage(text::Saved.arg(root), this);
    } catch (const AutorunEncodingError& e) {
        toolkit::showPlainMessage(text::Failed + u'\r' + e.message(), this);
    } catch (const std::exception&) {
        toolkit::showPlainMessage(text::Failed, this);
    }
}

void TForm3::BtAideClick() {
    toolkit::openDocumentOrTell(m_startFolder + text::HelpDocument, this);
}

void TForm3::BtQuitterClick() {
    hide();
}

void TForm3::followVirtualDrive() {
    m_preselected = false;
    if (isVisible())
        preselectVirtualDrive();
}

void TForm3::setVisible(bool visible) {
    // Back where it was last shown, whole on a screen; the first time,
    // centred on the screen with the mouse.
    const bool showing = visible && !isVisible();
    if (showing && m_shownBefore) {
        move(m_lastPosition);
        toolkit::keepOnScreen(this);
    } else if (showing) {
        toolkit::placeOnScreen(this);
    }
    if (!visible && isVisible()) {
        m_lastPosition = pos();
        m_shownBefore = true;
    }
    QWidget::setVisible(visible);
    if (showing && !m_preselected) {
        preselectVirtualDrive();
    } else if (showing) {
        // Pages saved at the root while the window was hidden are offered;
        // the page chosen before stays chosen.
        const QString chosen = m_flb->fileName();
        toolkit::runGuarded(
            [this] {
                m_dlb->refresh();
                m_flb->refresh();
            },
            this);
        const QList<QListWidgetItem*> same = m_flb->findItems(chosen, Qt::MatchExactly);
        if (!chosen.isEmpty() && !same.isEmpty())
            m_flb->setCurrentItem(same.first());
    }
}

void TForm3::closeEvent(QCloseEvent* event) {
    // The close box only hides: the selections and the text box live on.
    event->ignore();
    hide();
}

} // namespace pelmora
