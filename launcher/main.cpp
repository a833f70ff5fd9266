#include "launcher/SupportsVideo.h"
#include "launcher/u_CdSite.h"
#include "launcher/UniteP.h"

#include "platform/Drives.h"
#include "platform/WorkingFolder.h"
#include "toolkit/SingleMenu.h"
#include "toolkit/Translations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    toolkit::installFrenchTranslations(app);
    // The menu decides when the program ends (its close, or a tool started).
    app.setQuitOnLastWindowClosed(false);

    // One menu per suite folder: a second start brings the first forward.
    const QString suiteFolder = platform::toHostPath(platform::currentFolder());
    if (toolkit::bringMenuForward(suiteFolder))
        return 0;
    toolkit::MenuServer server(suiteFolder);

    pelmora::TForm1 menu;
    pelmora::TFormVideo video;
    pelmora::TForm3 site;
    menu.setCompanions(&video, &site);
    QObject::connect(&server, &toolkit::MenuServer::comeForward, &menu, [&menu] {
        menu.showNormal();
        menu.raise();
        menu.activateWindow();
    });
    menu.show();
    return app.exec();
}
