#include "toolkit/DirectoryListBox.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/DriveComboBox.h"
#include "toolkit/FileListBox.h"
#include "toolkit/FolderListing.h"
#include "toolkit/MessageBox.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>

#include <optional>

namespace toolkit {

namespace {

constexpr int FolderRole = Qt::UserRole;
constexpr int LevelRole = Qt::UserRole + 1;
constexpr int IndentPerLevel = 7;

using platform::winpath::withTrailingBackslash;

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

} // namespace

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

} // namespace toolkit
