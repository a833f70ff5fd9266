#include "launcher/SupportsVideo.h"
#include "launcher/u_CdSite.h"
#include "launcher/UniteP.h"

#include "common/Version.h"
#include "platform/Drives.h"
#include "platform/WorkingFolder.h"
#include "toolkit/SingleMenu.h"
#include "toolkit/StartUp.h"
#include "toolkit/Translations.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    const toolkit::ProgramInfo info{
        QStringLiteral("Pelmora"),
        QStringLiteral(PELMORA_VERSION),
        QStringLiteral("Pelmora, le menu de la suite : il démarre ses outils de création de pages "
                       "Web, ouvre son aide et prépare la racine d'un CD/DVD Site.\n"
                       "Le dossier de travail est le dossier de la suite ; les lecteurs sont ceux "
                       "de la table des lecteurs (PELMORA_DRIVES, sinon "
                       "~/.config/pelmora/drives)."),
        {},
        {}};
    if (const auto code = toolkit::answerInfoOptions(argc, argv, info))
        return *code;
    // Before the menu takes its start folder, which the table turns into a Windows path.
    const toolkit::FirstStart firstStart = toolkit::prepareDriveTable(pelmora::virtualDriveSetting());

    QApplication app(argc, argv);
    toolkit::installFrenchTranslations(app);
    // The desktop entry the window belongs to (task bars, Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("example.orvane.Pelmora"));
    // The menu decides when the program ends (its close, or a tool started).
    app.setQuitOnLastWindowClosed(false);

    // One menu per suite folder: a second start brings the first forward.
    const QString suiteFolder = platform::toHostPath(platform::currentFolder());
    if (toolkit::bringMenuForward(suiteFolder))
        return 0;
    toolkit::MenuServer server(suiteFolder);

    pelmora::TForm1 menu;
    pelmora::TFormVideo video;
    pelmora::TForm3 site(menu.startFolder());
    menu.setCompanions(&video, &site);
    QObject::connect(&server, &toolkit::MenuServer::comeForward, &menu, [&menu] {
        menu.showNormal();
        menu.raise();
        menu.activateWindow();
    });
    menu.show();
    if (firstStart.madeTable)
        QTimer::singleShot(0, &menu, [&menu, firstStart] {
            toolkit::tellFirstStart(&menu, firstStart, [&menu] { menu.BtLecteursClick(); });
        });
    return app.exec();
}
