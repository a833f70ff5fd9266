#include "launcher/SupportsVideo.h"
#include "launcher/u_CdSite.h"
#include "launcher/UniteP.h"

#include "toolkit/Translations.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    toolkit::installFrenchTranslations(app);
    // The menu decides when the program ends (its close, or a tool started).
    app.setQuitOnLastWindowClosed(false);

    pelmora::TForm1 menu;
    pelmora::TFormVideo video;
    pelmora::TForm3 site;
    menu.setCompanions(&video, &site);
    menu.show();
    return app.exec();
}
