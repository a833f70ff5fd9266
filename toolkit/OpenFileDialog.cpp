#include "toolkit/OpenFileDialog.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderSelectors.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace toolkit {

namespace {

namespace text {
const QString Name = QStringLiteral("&Nom du fichier :");
const QString Folders = QStringLiteral("&Dossiers :");
const QString Types = QStringLiteral("&Type :");
const QString Drives = QStringLiteral("&Lecteurs :");
const QString Open = QStringLiteral("Ouvrir");
const QString Cancel = QStringLiteral("Annuler");
} // namespace text

QLabel* caption(const QString& text, QWidget* buddy, QWidget* parent, int left, int top,
                int width) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    place(label, left, top, width, 16);
    return label;
}

} // namespace

OpenFileDialog::OpenFileDialog(const QString& title, const Filters& filters, QWidget* parent)
    : QDialog(parent), m_filters(filters) {
    setWindowTitle(title);
    setFont(classicFont(QStringLiteral("Tahoma"), 11));
    setFixedSize(530, 274);

    // Created in the tab order; each selector finds the one it feeds there.
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("NomFichier"));
    place(m_name, 8, 26, 200, 22);
    caption(text::Name, m_name, this, 8, 8, 200);

    m_files = new FileListBox(this);
    m_files->setObjectName(QStringLiteral("FLB"));
    m_files->setFileEdit(m_name);
    place(m_files, 8, 52, 200, 156);

    auto* folderText = new QLabel(this);
    folderText->setObjectName(QStringLiteral("Dossier"));
    place(folderText, 220, 26, 200, 18);
    m_folders = new DirectoryListBox(this);
    m_folders->setObjectName(QStringLiteral("DLB"));
    m_folders->setFileList(m_files);
    m_folders->setDirLabel(folderText);
    place(m_folders, 220, 52, 200, 156);
    caption(text::Folders, m_folders, this, 220, 8, 200);

    m_types = new QComboBox(this);
    m_types->setObjectName(QStringLiteral("Types"));
    for (const auto& [typeCaption, mask] : filters)
        m_types->addItem(typeCaption, mask);
    place(m_types, 8, 234, 200, 22);
    caption(text::Types, m_types, this, 8, 216, 200);

    m_drives = new DriveComboBox(this);
    m_drives->setObjectName(QStringLiteral("DCB"));
    m_drives->setDirList(m_folders);
    place(m_drives, 220, 234, 200, 22);
    caption(text::Drives, m_drives, this, 220, 216, 200);

    // At the right of the name box; Enter is "Ouvrir".
    auto* open = new QPushButton(text::Open, this);
    open->setObjectName(QStringLiteral("Ouvrir"));
    open->setDefault(true);
    auto* cancel = new QPushButton(text::Cancel, this);
    cancel->setObjectName(QStringLiteral("Annuler"));
    place(open, 432, 26, 90, 26);
    place(cancel, 432, 58, 90, 26);
    connect(open, &QPushButton::clicked, this, &OpenFileDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &OpenFileDialog::reject);

    connect(m_types, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_files->setMask(m_types->itemData(index).toString()); });
    connect(m_files, &QListWidget::itemDoubleClicked, this, &OpenFileDialog::accept);
    if (!filters.isEmpty())
        m_files->setMask(filters.first().second);
    m_name->setFocus();
}

void OpenFileDialog::setDirectory(const QString& folder) {
    m_folders->setDirectory(folder);
}

QString OpenFileDialog::directory() const {
    return m_folders->directory();
}

void OpenFileDialog::accept() {
    const QString typed = m_name->text().trimmed();
    if (typed.isEmpty())
        return;
    // A mask filters the list; the dialog stays.
    if (typed.contains(u'*') || typed.contains(u'?')) {
        m_files->setMask(typed);
        return;
    }
    // As Windows' own dialogs read it: "\a" (or "/a") is that folder on the
    // dialog's drive, "X:a" on drive X's current folder, "a" in the dialog's.
    const QString path =
        platform::winpath::expand(typed, directory(), platform::driveCurrentFolder);
    if (platform::folderExists(path)) {
        runGuarded([&] { setDirectory(path); }, this);
        m_name->setText(m_files->mask());
        return;
    }
    m_selected = path;
    QDialog::accept();
}

QString OpenFileDialog::getOpenFileName(QWidget* parent, const QString& title,
                                        const QString& folder, const Filters& filters) {
    const QString working = platform::currentFolder();
    QString chosen;
    {
        OpenFileDialog dialog(title, filters, parent);
        try {
            dialog.setDirectory(folder);
        } catch (const platform::Error&) {
            // A folder that has gone: the dialog starts where the user is.
        }
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFile();
    }
    // The selectors moved the working folder along; the caller's stays.
    platform::setCurrentFolder(working);
    return chosen;
}

} // namespace toolkit
