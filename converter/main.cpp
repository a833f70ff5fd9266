#include "converter/Unit1.h"
#include "converter/uRetour.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Translations.h"

#include <QApplication>

// The launcher passes "MENU"; the converter needs no argument and acts on none.
int main(int argc, char** argv) {
    // The start folder is read before anything can move the working folder.
    strovan::InitStartFolder();

    QApplication app(argc, argv);
    toolkit::installFrenchTranslations(app);
    // The classic look the suite's windows are drawn for.
    QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setApplicationName(QStringLiteral("Strovan"));
    toolkit::setProgramTitle(QStringLiteral("Strovan"));

    strovan::TForm1 form;
    form.show();
    return app.exec();
}
