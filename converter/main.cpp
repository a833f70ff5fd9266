#include "common/Version.h"
#include "converter/StartPlace.h"
#include "converter/Unit1.h"
#include "platform/Drives.h"
#include "platform/WorkingFolder.h"
#include "toolkit/MessageBox.h"
#include "toolkit/SingleInstance.h"
#include "toolkit/StartUp.h"
#include "toolkit/Translations.h"

#include <QApplication>
#include <QTimer>

// The launcher passes "MENU"; the converter needs no argument and acts on none.
int main(int argc, char** argv) {
    const toolkit::ProgramInfo info{
        QStringLiteral("Strovan"), QStringLiteral(PELMORA_VERSION),
        QStringLiteral("Strovan, le convertisseur de la suite : dans le dossier copié d'un "
                       "caméscope JVC, il renomme les dossiers et les clips .MOD en .MPG, leur "
                       "rend leur date d'enregistrement, marque en 16:9 les clips filmés en "
                       "écran large et supprime les fichiers d'index .MOI et .PGI ; il demande "
                       "confirmation pour un dossier qui ne vient pas d'un caméscope, montre "
                       "sa progression (Annuler) et fait le bilan à la fin.\n"
                       "Le dossier de travail est celui du convertisseur, dans le dossier de la "
                       "suite ; les lecteurs sont ceux de la table des lecteurs (PELMORA_DRIVES, "
                       "sinon ~/.config/pelmora/drives)."),
        QStringLiteral("MENU"), QStringLiteral("Passé par le menu de la suite ; sans effet.")};
    if (const auto code = toolkit::answerInfoOptions(argc, argv, info))
        return *code;
    const toolkit::FirstStart firstStart = toolkit::prepareDriveTable(strovan::VirtualDriveSetting());
    // The start folder is read before anything can move the working folder.
    const QString startFolder = platform::currentFolder();

    QApplication app(argc, argv);
    toolkit::installFrenchTranslations(app);
    // The desktop entry the window belongs to (task bars, Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("example.orvane.Strovan"));
    // The classic look the suite's windows are drawn for.
    QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setApplicationName(QStringLiteral("Strovan"));
    toolkit::setProgramTitle(QStringLiteral("Strovan"));

    // One converter at a time, as one menu: a second start brings the
    // running converter forward and ends.
    const QString key = strovan::ConverterInstanceKey(platform::toHostPath(startFolder));
    if (toolkit::bringInstanceForward(key))
        return 0;
    toolkit::InstanceServer server(key);

    strovan::TForm1 form(startFolder);
    QObject::connect(&server, &toolkit::InstanceServer::comeForward, &form, [&form] {
        form.showNormal();
        form.raise();
        form.activateWindow();
    });
    form.show();
    if (firstStart.madeTable)
        QTimer::singleShot(0, &form, [&form, firstStart] {
            toolkit::tellFirstStart(&form, firstStart, [&form] { form.BtLecteursClick(); });
        });
    return app.exec();
}
