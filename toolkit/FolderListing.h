#pragma once

#include "platform/FileSystem.h"

#include <QList>
#include <QString>
#include <QStringList>

// Inside the folder selectors only: what the drive selector, the folder list
// and the file list share.
namespace toolkit {

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

// As the user reads names: without regard to case; names equal that way (only
// the host can hold both) in a fixed order all the same.
void sortForView(QStringList& names);

// Makes the drive's current folder the working folder. When the folder
// remembered for the drive has gone meanwhile, its root will do.
QString enterDrive(QChar letter);

} // namespace toolkit
