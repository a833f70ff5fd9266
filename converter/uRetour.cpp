#include "converter/uRetour.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/WorkingFolder.h"
#include "toolkit/SingleMenu.h"

namespace strovan {

QString ParentFolder(const QString& path) {
    // A backslash among the first three characters is the root's own.
    for (qsizetype i = path.size() - 1; i >= 3; --i)
        if (path[i] == u'\\')
            return path.left(i);
    return {};
}

void ReturnToMenu(const QString& startFolder) {
    const QString parent = ParentFolder(startFolder);
    platform::raiseIfError(platform::setCurrentFolder(parent));
    // One menu at a time: the one running for this suite comes forward.
    if (toolkit::bringMenuForward(platform::toHostPath(parent)))
        return;
    // The explicit path keeps a blank in the suite's folder from choosing
    // another program. A menu that does not start is said: the user would
    // otherwise wait for a window that never comes.
    const QString menu = parent + u'\\' + QString::fromUtf16(MenuProgram);
    const int result = platform::startProgram(menu, {}, parent);
    if (result == platform::ErrFileNotFound)
        throw platform::Error(QStringLiteral("Le programme de menu %1 est introuvable").arg(menu));
    if (result != platform::NoError)
        throw platform::Error(
            QStringLiteral("Impossible de démarrer le programme de menu %1").arg(menu));
}

} // namespace strovan
