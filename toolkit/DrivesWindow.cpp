// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/DrivesWindow.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/Volumes.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"
#include "toolkit/StartUp.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace toolkit {

namespace {

// The window's texts, in one place.
namespace text {
const QString Caption = QStringLiteral("Lecteurs");
const QString Intro = QStringLiteral(
    "Chaque lecteur est une lettre donnée à un dossier de votre ordinateur. Le disque virtuel est "
    "le lecteur dont le dossier deviendra la racine de votre CD/DVD.");
const QString Lecteur = QStringLiteral("Lecteur");
const QString Dossier = QStringLiteral("Dossier");
const QString Usage = QStringLiteral("Usage");
const QString Lettre = QStringLiteral("&Lettre :");
// What a screen reader says for the list, which has no label to name it (the
// letter box is named by its label).
const QString ListName = QStringLiteral("Lecteurs");
const QString Ajouter = QStringLiteral("&Ajouter un dossier…");
const QString Retirer = QStringLiteral("&Retirer la lettre");
const QString Virtuel = QStringLiteral("Choisir comme &disque virtuel");
const QString Fermer = QStringLiteral("&Fermer");
const QString UseVirtual = QStringLiteral("disque virtuel");
const QString UseHome = QStringLiteral("dossier personnel");
const QString UseRemovable = QStringLiteral("support amovible");
const QString UseSystem = QStringLiteral("tout le système");
const QString RemovableKept =
    QStringLiteral("Un support amovible garde sa lettre tant qu'il est branché.");
const QString ChooseFolder = QStringLiteral("Dossier du lecteur %1:");
const QString NoFreeLetter = QStringLiteral("Toutes les lettres sont déjà prises.");
const QString AlreadyDrive = QStringLiteral("Ce dossier est déjà le lecteur %1:.");
const QString AddFailed = QStringLiteral("Impossible de donner la lettre %1: au dossier %2");
const QString AskRemove = QStringLiteral(
    "Retirer la lettre %1: ?\rLe dossier %2 reste tel quel, avec tout ce qu'il contient.");
const QString RemoveFailed = QStringLiteral("Impossible de retirer la lettre %1:");
const QString SaveFailed = QStringLiteral("Impossible d'enregistrer le disque virtuel dans %1");
} // namespace text

QString realFolderDialog(QWidget* parent, const QString& title, const QString& hostFolder) {
    return QFileDialog::getExistingDirectory(parent, title, hostFolder);
}

FolderDialog& folderDialog() {
    static FolderDialog dialog;
    return dialog;
}

QString canonical(const QString& hostFolder) {
    const QString path = QFileInfo(hostFolder).canonicalFilePath();
    return path.isEmpty() ? QDir::cleanPath(hostFolder) : path;
}

bool isRemovableLetter(QChar letter) {
    for (const platform::RemovableDrive& drive : platform::removableDrives())
        if (drive.letter == letter.toUpper())
            return true;
    return false;
}

} // namespace

void setFolderDialog(FolderDialog dialog) {
    folderDialog() = std::move(dialog);
}

QString driveUse(QChar letter, const QString& virtualDrive) {
    const QChar upper = letter.toUpper();
    QStringList uses;
    // Compared as the programs compare it: only "X:" names drive X.
    if (driveDesignation(upper) == virtualDrive)
        uses << text::UseVirtual;
    if (platform::tableDefinesDrive(upper)) {
        if (canonical(platform::driveHostRoot(upper)) == canonical(QDir::homePath()))
            uses << text::UseHome;
    } else if (upper == u'Z') {
        uses << text::UseSystem;
    } else if (isRemovableLetter(upper)) {
        uses << text::UseRemovable;
    }
    QString use = uses.join(QStringLiteral(", "));
    if (!use.isEmpty())
        use[0] = use[0].toUpper();
    return use;
}

DrivesWindow::DrivesWindow(const VirtualDriveSetting& setting, const QString& suiteFolder,
                           QWidget* parent)
    : QDialog(parent), m_setting(setting), m_suiteFolder(suiteFolder) {
    setObjectName(QStringLiteral("DrivesWindow"));
    setWindowTitle(text::Caption);

    auto* intro = new QLabel(text::Intro, this);
    intro->setWordWrap(true);

    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setHeaderLabels({text::Lecteur, text::Dossier, text::Usage});
    List->setRootIsDecorated(false);
    List->setAllColumnsShowFocus(true);
    List->setMinimumSize(600, 200);
    List->header()->setStretchLastSection(true);
    List->setAccessibleName(text::ListName);

    auto* letterLabel = new QLabel(text::Lettre, this);
    CbLettre = new QComboBox(this);
    CbLettre->setObjectName(QStringLiteral("CbLettre"));
    letterLabel->setBuddy(CbLettre);
    BtAjouter = new QPushButton(text::Ajouter, this);
    BtAjouter->setObjectName(QStringLiteral("BtAjouter"));
    BtRetirer = new QPushButton(text::Retirer, this);
    BtRetirer->setObjectName(QStringLiteral("BtRetirer"));
    BtVirtuel = new QPushButton(text::Virtuel, this);
    BtVirtuel->setObjectName(QStringLiteral("BtVirtuel"));
    BtFermer = new QPushButton(text::Fermer, this);
    BtFermer->setObjectName(QStringLiteral("BtFermer"));

    auto* adding = new QHBoxLayout;
    adding->addWidget(letterLabel);
    adding->addWidget(CbLettre);
    adding->addWidget(BtAjouter);
    adding->addStretch();
    auto* acting = new QHBoxLayout;
    acting->addWidget(BtRetirer);
    acting->addWidget(BtVirtuel);
    acting->addStretch();
    acting->addWidget(BtFermer);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(List);
    layout->addLayout(adding);
    layout->addLayout(acting);

    connect(BtAjouter, &QPushButton::clicked, this, &DrivesWindow::BtAjouterClick);
    connect(BtRetirer, &QPushButton::clicked, this, &DrivesWindow::BtRetirerClick);
    connect(BtVirtuel, &QPushButton::clicked, this, &DrivesWindow::BtVirtuelClick);
    connect(BtFermer, &QPushButton::clicked, this, &QDialog::accept);
    connect(List, &QTreeWidget::currentItemChanged, this, &DrivesWindow::updateButtons);

    readDrives();
    List->setFocus();
}

void DrivesWindow::readDrives() {
    const QChar selected = selectedLetter();
    m_virtual = readVirtualDrive(m_setting, m_suiteFolder);
    List->clear();
    const QList<QChar> drives = platform::definedDrives();
    for (const QChar letter : drives) {
        auto* item = new QTreeWidgetItem(List);
        item->setText(0, driveEntryText(letter, platform::volumeOf(letter)));
        item->setData(0, Qt::UserRole, QString(letter));
        item->setText(1, platform::driveHostRoot(letter));
        item->setText(2, driveUse(letter, m_virtual));
        if (isRemovableLetter(letter))
            item->setToolTip(0, text::RemovableKept);
    }
    for (int column = 0; column < 2; ++column)
        List->resizeColumnToContents(column);

    const QChar proposed = CbLettre->currentData().toString().isEmpty()
                               ? freeVirtualLetter()
                               : CbLettre->currentData().toString().at(0);
    CbLettre->clear();
    for (char16_t c = u'D'; c < u'Z'; ++c)
        if (!drives.contains(QChar(c)))
            CbLettre->addItem(QString(QChar(c).toLower()) + u':', QString(QChar(c)));
    setNewLetter(proposed);
    if (selected.isNull() || !selectDrive(selected))
        List->setCurrentItem(List->topLevelItem(0));
    updateButtons();
}

bool DrivesWindow::selectDrive(QChar letter) {
    for (int i = 0; i < List->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = List->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toString() == QString(letter.toUpper())) {
            List->setCurrentItem(item);
            return true;
        }
    }
    return false;
}

void DrivesWindow::setNewLetter(QChar letter) {
    const int index = CbLettre->findData(QString(letter.toUpper()));
    if (index >= 0)
        CbLettre->setCurrentIndex(index);
    else if (CbLettre->count() > 0 && CbLettre->currentIndex() < 0)
        CbLettre->setCurrentIndex(CbLettre->count() - 1);
}

QChar DrivesWindow::selectedLetter() const {
    const QTreeWidgetItem* item = List ? List->currentItem() : nullptr;
    const QString letter = item ? item->data(0, Qt::UserRole).toString() : QString();
    return letter.isEmpty() ? QChar() : letter.at(0);
}

void DrivesWindow::updateButtons() {
    const QChar letter = selectedLetter();
    // Only a letter of the table is the user's to take away or to make the
    // virtual disk: z: is the system, a removable volume comes and goes.
    const bool own = !letter.isNull() && letter != u'Z' && platform::tableDefinesDrive(letter);
    BtRetirer->setEnabled(own);
    BtVirtuel->setEnabled(own && driveDesignation(letter) != m_virtual);
    BtAjouter->setEnabled(CbLettre->count() > 0);
}

void DrivesWindow::tellWindows() {
    // Every drive selector of the program follows at once.
    for (QWidget* window : QApplication::topLevelWidgets())
        for (DriveComboBox* drives : window->findChildren<DriveComboBox*>())
            drives->followDrives();
    emit drivesChanged();
}

void DrivesWindow::failed(const QString& what, int code) {
    showPlainMessage(what + u'\r' + errorBoxText(platform::IoError::messageFor(code)), this);
}

void DrivesWindow::BtAjouterClick() {
    const QString data = CbLettre->currentData().toString();
    if (data.isEmpty()) {
        showPlainMessage(text::NoFreeLetter, this);
        return;
    }
    const QChar letter = data.at(0);
    const QString title = text::ChooseFolder.arg(letter.toLower());
    const FolderDialog& dialog = folderDialog();
    const QString folder = dialog ? dialog(this, QDir::homePath())
                                  : realFolderDialog(this, title, QDir::homePath());
    if (folder.isEmpty())
        return;
    for (const QChar other : platform::definedDrives()) {
        if (platform::tableDefinesDrive(other) &&
            canonical(platform::driveHostRoot(other)) == canonical(folder)) {
            showPlainMessage(text::AlreadyDrive.arg(other.toLower()), this);
            selectDrive(other);
            return;
        }
    }
    const int code = platform::defineDrive(letter, canonical(folder));
    if (code != platform::NoError) {
        failed(text::AddFailed.arg(letter.toLower()).arg(folder), code);
        readDrives();
        return;
    }
    readDrives();
    selectDrive(letter);
    tellWindows();
}

void DrivesWindow::BtRetirerClick() {
    const QChar letter = selectedLetter();
    if (letter.isNull() || letter == u'Z' || !platform::tableDefinesDrive(letter))
        return;
    MessageRequest ask;
    ask.parent = this;
    ask.caption = text::Caption;
    ask.text = text::AskRemove.arg(letter.toLower()).arg(platform::driveHostRoot(letter));
    ask.buttons = Buttons::YesNo;
    ask.icon = BoxIcon::Question;
    ask.defaultAnswer = Answer::Yes;
    if (showMessage(ask) != Answer::Yes)
        return;
    const int code = platform::removeDrive(letter);
    if (code != platform::NoError) {
        failed(text::RemoveFailed.arg(letter.toLower()), code);
        return;
    }
    // A virtual disk that is gone is named no more.
    if (driveDesignation(letter) == m_virtual) {
        const int saved = writeVirtualDrive(m_setting, QChar());
        if (saved != platform::NoError)
            failed(text::SaveFailed.arg(userSettingsFile(m_setting)), saved);
        m_virtual = readVirtualDrive(m_setting, m_suiteFolder);
        emit virtualDriveChanged(m_virtual);
    }
    readDrives();
    tellWindows();
}

void DrivesWindow::BtVirtuelClick() {
    const QChar letter = selectedLetter();
    if (letter.isNull() || letter == u'Z' || !platform::tableDefinesDrive(letter))
        return;
    const int code = writeVirtualDrive(m_setting, letter);
    if (code != platform::NoError) {
        failed(text::SaveFailed.arg(userSettingsFile(m_setting)), code);
        return;
    }
    readDrives();
    emit virtualDriveChanged(m_virtual);
    tellWindows();
}

} // namespace toolkit
