#include "toolkit/FolderListing.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WorkingFolder.h"

#include <algorithm>

namespace toolkit {

namespace {

QString driveRoot(QChar letter) {
    return QString(letter.toUpper()) + QStringLiteral(":\\");
}

} // namespace

// As the user reads names: without regard to case; names equal that way (only
// the host can hold both) in a fixed order all the same.
void sortForView(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
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

} // namespace toolkit
