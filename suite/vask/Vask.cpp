// Stands in for the suite's menu program. The converter's "Menu" button starts
// it in the suite folder; it brings the launcher back (forward, when it runs
// already) and ends.

#include "common/SuiteLayout.h"
#include "platform/Drives.h"
#include "toolkit/MessageBox.h"
#include "toolkit/SingleMenu.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

// The launcher in folder, found as the Windows shell would: with or without
// its extension, names compared without regard to case.
QString findLauncher(const QString& folder) {
    const QString program = suite::name(suite::LauncherProgram);
    const QString bare = QFileInfo(program).completeBaseName();
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Executable, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.compare(bare, Qt::CaseInsensitive) == 0 ||
            name.compare(program, Qt::CaseInsensitive) == 0)
            return entry.absoluteFilePath();
    }
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    const QString suiteFolder = QCoreApplication::applicationDirPath();
    const QString shownFolder = platform::toWindowsPath(suiteFolder);
    // The menu already running for this suite comes forward; no second one.
    if (toolkit::bringMenuForward(suiteFolder))
        return 0;
    const QString launcher = findLauncher(suiteFolder);
    if (launcher.isEmpty()) {
        toolkit::showErrorBox(
            QStringLiteral("Le menu Pelmora est introuvable dans le dossier %1").arg(shownFolder));
        return 1;
    }
    // The launcher takes its working folder as the suite folder.
    if (!QProcess::startDetached(launcher, {}, suiteFolder)) {
        toolkit::showErrorBox(
            QStringLiteral("Le menu Pelmora n'a pas pu être démarré depuis le dossier %1")
                .arg(shownFolder));
        return 1;
    }
    return 0;
}
