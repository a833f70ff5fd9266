#include "toolkit/FolderSelectors.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Volumes.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/MessageBox.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <optional>

namespace toolkit {

namespace {

constexpr int FolderRole = Qt::UserRole;
constexpr int LevelRole = Qt::UserRole + 1;
constexpr int IndentPerLevel = 7;

using platform::winpath::withTrailingBackslash;

QString driveRoot(QChar letter) {
    return QString(letter.toUpper()) + QStringLiteral(":\\");
}

// Drops the first folder of a folder part ("\a\b\" -> "\...\b\").
void cutFirstFolder(QString& dir) {
    const bool rooted = dir.startsWith(u'\\');
    if (rooted)
        dir.remove(0, 1);
    if (dir.startsWith(QStringLiteral("...\\")))
        dir.remove(0, 4);
    const qsizetype cut = dir.indexOf(u'\\');
    dir = cut >= 0 ? QStringLiteral("...\\") + dir.mid(cut + 1) : QString();
    if (rooted)
        dir.prepend(u'\\');
}

// Makes the drive's current folder the working folder. When the folder
// remembered for the drive has gone meanwhile, its root will do.
QString enterDrive(QChar letter) {
    const QString remembered = platform::driveCurrentFolder(letter);
    int code = platform::setCurrentFolder(remembered);
    if (code != platform::NoError && remembered != driveRoot(letter) &&
        platform::driveReady(letter))
        code = platform::setCurrentFolder(driveRoot(letter));
    platform::raiseIfError(code);
    return platform::currentFolder();
}

QIcon driveIcon(platform::DriveKind kind, const QStyle* style) {
    switch (kind) {
    case platform::DriveKind::Removable:
        return style->standardIcon(QStyle::SP_DriveFDIcon);
    case platform::DriveKind::Remote:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    case platform::DriveKind::CdRom:
        return style->standardIcon(QStyle::SP_DriveCDIcon);
    case platform::DriveKind::RamDisk:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    case platform::DriveKind::Fixed:
        break;
    }
    return style->standardIcon(QStyle::SP_DriveHDIcon);
}

// Indents each folder entry by its depth, so that the path reads as a tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(shifted.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) {
        return index.data(LevelRole).toInt() * IndentPerLevel;
    }
};

// As the user reads names: without regard to case; names equal that way (only
// the host can hold both) in a fixed order all the same.
void sortForView(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

} // namespace

// One reading of a folder, shared by a folder list and the file list it
// feeds: kinds come with the names, nothing is sorted before a list knows what
// it shows, and hidden and system are read only for the entries a list is
// about to show.
struct FolderListing {
    platform::Folder folder;
    QList<platform::DirEntry> entries;
    bool keepsAttributes = false;

    FolderListing(const QString& path, bool foldersOnly) : folder(platform::Folder::open(path)) {
        if (!folder.isOpen())
            return;
        entries = folder.listUnsorted(foldersOnly);
        keepsAttributes = !entries.isEmpty() && folder.keepsHiddenSystem();
    }

    // A name beginning with a dot is hidden as it stands. A link carries no
    // attribute of its own here, as in a full listing.
    bool hidden(const platform::DirEntry& entry) const {
        if (entry.attributes & (platform::AttrHidden | platform::AttrSystem))
            return true;
        return keepsAttributes && !entry.isLink() && folder.hiddenSystem(entry.name) != 0;
    }
};

namespace {} // namespace

QString shortenFolder(const QString& folder, const QFontMetrics& metrics, int width) {
    QString dir = platform::winpath::folderPart(folder);
    const QString name = platform::winpath::fileName(folder);
    QString drive;
    if (dir.size() >= 2 && dir[1] == u':') {
        drive = dir.left(2);
        dir.remove(0, 2);
    }
    QString result = folder;
    if (name.isEmpty())
        return result; // a drive root has nothing to give way
    while ((!dir.isEmpty() || !drive.isEmpty()) && metrics.horizontalAdvance(result) > width) {
        if (dir == u"\\...\\" || dir == u"\\") {
            drive.clear();
            dir = dir.size() > 1 ? QStringLiteral("...\\") : QString();
        } else if (dir.isEmpty()) {
            drive.clear();
        } else {
            const QString before = dir;
            cutFirstFolder(dir);
            if (dir == before)
                dir.clear();
        }
        result = drive + dir + name;
    }
    return result;
}

QString driveEntryText(QChar letter, const platform::Volume& volume) {
    const QString text = QString(letter.toLower()) + u':';
    // The root of the whole system has no label worth showing: it says what it is.
    if (volume.wholeSystem)
        return text + QStringLiteral(" [Système]");
    switch (volume.kind) {
    case platform::DriveKind::Removable:
        // A card or key is known by its label; a reader without medium shows none.
        return volume.label.isEmpty() ? text
                                      : text + QStringLiteral(" [") + volume.label.toLower() + u']';
    case platform::DriveKind::Remote:
        return text + u' ' + volume.remoteName.toLower();
    default:
        // A folder standing for a drive is known by its own name, kept as written.
        if (!volume.folderName.isEmpty())
            return text + QStringLiteral(" [") + volume.folderName + u']';
        return text + QStringLiteral(" [") + volume.label.toLower() + u']';
    }
}

// --- FileListBox ----------------------------------------------------------

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent), m_directory(platform::currentFolder()) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true); // keeps long folders quick to show
    readFiles();
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        updateEdit();
        emit changed();
    });
}

void FileListBox::setMask(const QString& mask) {
    m_mask = mask.trimmed().isEmpty() ? QStringLiteral("*.*") : mask.trimmed();
    readFiles();
    updateEdit();
    emit changed();
}

void FileListBox::setDirectory(const QString& folder) {
    showFolder(folder, nullptr);
}

void FileListBox::showFolder(const QString& folder, const FolderListing* listing) {
    m_directory = folder.isEmpty()
                      ? QString()
                      : platform::winpath::withoutTrailingBackslash(platform::absolutePath(folder));
    readFiles(listing);
    updateEdit();
    emit changed();
}

void FileListBox::setFileEdit(QLineEdit* edit) {
    m_edit = edit;
    updateEdit();
}

QString FileListBox::fileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void FileListBox::refresh() {
    // A folder that has gone lists nothing; the working folder stays.
    platform::setCurrentFolder(m_directory);
    readFiles();
    updateEdit();
    emit changed();
}

void FileListBox::readFiles(const FolderListing* given) {
    const QSignalBlocker blocker(this);
    clear();
    if (m_directory.isEmpty())
        return;
    QStringList masks = m_mask.split(u';', Qt::SkipEmptyParts);
    for (QString& mask : masks)
        mask = mask.trimmed();
    std::optional<FolderListing> own;
    if (!given)
        own.emplace(m_directory, false);
    const FolderListing& listing = given ? *given : *own;
    QStringList names;
    names.reserve(listing.entries.size());
    for (const platform::DirEntry& entry : listing.entries) {
        if (entry.isFolder() ||
            std::none_of(masks.cbegin(), masks.cend(), [&](const QString& mask) {
                return platform::matchesWildcard(entry.name, mask);
            }))
            continue;
        if (!listing.hidden(entry))
            names << entry.name;
    }
    sortForView(names);
    addItems(names);
}

void FileListBox::updateEdit() {
    if (!m_edit)
        return;
    const QString name = fileName();
    m_edit->setText(name.isEmpty() ? m_mask : name);
}

// --- DirectoryListBox -----------------------------------------------------

DirectoryListBox::DirectoryListBox(QWidget* parent)
    : QListWidget(parent), m_directory(platform::currentFolder()) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentDelegate(this));
    readFolders();
    connect(this, &QListWidget::itemDoubleClicked, this, &DirectoryListBox::openEntry);
}

void DirectoryListBox::setFileList(FileListBox* list) {
    m_files = list;
    // A file list made a moment ago on the same working folder shows it already.
    if (m_files && m_files->directory() != m_directory)
        m_files->setDirectory(m_directory);
}

void DirectoryListBox::setDirLabel(QLabel* label) {
    m_label = label;
    if (m_label)
        m_label->setTextFormat(Qt::PlainText); // a folder name is never markup
    updateLabel();
}

QChar DirectoryListBox::drive() const {
    return platform::winpath::driveLetter(m_directory);
}

void DirectoryListBox::setDirectory(const QString& folder) {
    platform::raiseIfError(platform::setCurrentFolder(folder));
    m_directory = platform::currentFolder();
    // One reading serves this list and the file list it feeds.
    const FolderListing listing(m_directory, !m_files);
    readFolders(&listing);
    showDirectory(&listing);
    emit changed();
}

void DirectoryListBox::setDrive(QChar letter) {
    if (letter.toUpper() == drive())
        return;
    setDirectory(enterDrive(letter.toUpper()));
}

void DirectoryListBox::refresh() {
    if (platform::folderExists(m_directory)) {
        readFolders();
        return;
    }
    // Moved or deleted meanwhile: go up to the nearest folder that is left.
    QString up = m_directory;
    while (!platform::winpath::isDriveRoot(up)) {
        up = platform::winpath::withoutTrailingBackslash(
            platform::winpath::folderPart(platform::winpath::withoutTrailingBackslash(up)));
        if (up.isEmpty())
            break;
        try {
            setDirectory(up);
            return;
        } catch (const platform::IoError&) {
        }
    }
    readFolders(); // not even the root is left (medium taken out)
}

void DirectoryListBox::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        openEntry(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirectoryListBox::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    updateLabel();
}

void DirectoryListBox::readFolders(const FolderListing* given) {
    const QSignalBlocker blocker(this);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, const QString& text, const QString& folder, int level) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(FolderRole, folder);
        item->setData(LevelRole, level);
    };
    QString path = m_directory.left(3);
    add(open, path, path, 0);
    const QStringList parts = m_directory.mid(3).split(u'\\', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        path = withTrailingBackslash(path) + parts[i];
        add(open, parts[i], path, int(i + 1));
    }
    const int currentRow = count() - 1;

    std::optional<FolderListing> own;
    if (!given)
        own.emplace(m_directory, true);
    const FolderListing& listing = given ? *given : *own;
    QStringList names;
    for (const platform::DirEntry& entry : listing.entries)
        if (entry.isFolder() && !listing.hidden(entry))
            names << entry.name;
    sortForView(names);
    for (const QString& name : names)
        add(closed, name, withTrailingBackslash(m_directory) + name, int(parts.size() + 1));
    setCurrentRow(currentRow);
}

void DirectoryListBox::showDirectory(const FolderListing* listing) {
    updateLabel();
    if (m_files)
        m_files->showFolder(m_directory, listing);
    if (m_drives)
        m_drives->followList(drive());
}

void DirectoryListBox::updateLabel() {
    if (m_label)
        m_label->setText(shortenFolder(m_directory, QFontMetrics(m_label->font()), width()));
}

void DirectoryListBox::openEntry(QListWidgetItem* item) {
    if (!item)
        return;
    const QString folder = item->data(FolderRole).toString();
    bool opened = false;
    runGuarded(
        [&] {
            setDirectory(folder);
            opened = true;
        },
        window());
    if (!opened)
        refresh(); // the folder may have vanished: show what is there now
}

// --- DriveComboBox --------------------------------------------------------

DriveComboBox::DriveComboBox(QWidget* parent)
    : QComboBox(parent), m_drive(platform::winpath::driveLetter(platform::currentFolder())) {
    readDrives();
    connect(this, &QComboBox::activated, this, &DriveComboBox::chooseFromUser);
    // Media come and go while the window is shown: the media folders and the
    // table tell at once where they can, a light poll catches the rest.
    m_poll.setInterval(PollInterval);
    connect(&m_poll, &QTimer::timeout, this, &DriveComboBox::followDrives);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DriveComboBox::followDrives);
}

void DriveComboBox::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    QStringList folders = platform::removableMediaFolders();
    folders << platform::driveTableFolder();
    for (const QString& folder : std::as_const(folders))
        if (QFileInfo(folder).isDir() && !m_watcher.directories().contains(folder))
            m_watcher.addPath(folder);
    followDrives();
    m_poll.start();
}

void DriveComboBox::hideEvent(QHideEvent* event) {
    m_poll.stop();
    QComboBox::hideEvent(event);
}

void DriveComboBox::followDrives() {
    QStringList drives;
    for (const QChar letter : platform::definedDrives())
        drives << QString(letter) + platform::driveHostRoot(letter);
    if (drives == m_shownDrives)
        return;
    readDrives();
    // The drive in use has gone (its medium taken out): the folder list shows
    // what is left, and stays on the drive's letter until another is chosen.
    if (m_dirs && findData(QString(m_drive)) < 0) {
        try {
            m_dirs->refresh();
        } catch (const platform::Error&) {
            // Nothing left to list: the entries stay until another drive is chosen.
        }
    }
}

void DriveComboBox::setDirList(DirectoryListBox* list) {
    m_dirs = list;
    if (m_dirs) {
        m_dirs->m_drives = this;
        followList(m_dirs->drive());
    }
}

void DriveComboBox::setDrive(QChar letter) {
    const QChar upper = letter.toUpper();
    try {
        if (m_dirs) {
            m_dirs->setDrive(upper); // the list brings us along when it moves
            followList(m_dirs->drive());
        } else if (upper != m_drive) {
            enterDrive(upper);
            followList(upper);
        }
    } catch (...) {
        selectLetter(m_drive);
        throw;
    }
    selectLetter(m_drive);
}

void DriveComboBox::readDrives() {
    const QSignalBlocker blocker(this);
    clear();
    m_shownDrives.clear();
    for (const QChar letter : platform::definedDrives()) {
        const platform::Volume volume = platform::volumeOf(letter);
        addItem(driveIcon(volume.kind, style()), driveEntryText(letter, volume), QString(letter));
        m_shownDrives << QString(letter) + platform::driveHostRoot(letter);
    }
    selectLetter(m_drive);
}

QString driveNotReadyText(QChar letter) {
    // The letter is the one the selector shows.
    return QStringLiteral("Le lecteur %1: n'est pas prêt : insérez-y un support, ou vérifiez "
                          "où il mène dans la table des lecteurs.")
        .arg(letter.toLower());
}

void DriveComboBox::chooseFromUser(int index) {
    const QString letter = itemData(index).toString();
    if (letter.isEmpty())
        return;
    // A drive without medium must not leave the window stuck on it; the box
    // says which drive it is.
    runGuarded(
        [&] {
            try {
                setDrive(letter.at(0));
            } catch (const platform::IoError& error) {
                if (error.code() != platform::ErrNotReady)
                    throw;
                throw platform::Error(errorBoxText(error.message()) + u'\r' +
                                      driveNotReadyText(letter.at(0)));
            }
        },
        window());
    selectLetter(m_drive);
}

void DriveComboBox::selectLetter(QChar letter) {
    const QSignalBlocker blocker(this);
    setCurrentIndex(findData(QString(letter.toUpper())));
}

void DriveComboBox::followList(QChar letter) {
    const QChar upper = letter.toUpper();
    if (findData(QString(upper)) < 0)
        readDrives(); // a drive that came after the list was read
    const bool moved = upper != m_drive;
    m_drive = upper;
    selectLetter(upper);
    if (moved)
        emit changed();
}

} // namespace toolkit
