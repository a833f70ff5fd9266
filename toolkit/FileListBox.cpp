#include "toolkit/FileListBox.h"

#include "platform/FileSystem.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/FolderListing.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>

namespace toolkit {

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

} // namespace toolkit
