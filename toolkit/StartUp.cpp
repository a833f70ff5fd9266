// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/StartUp.h"

#include "platform/Drives.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Translations.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace toolkit {

std::optional<int> answerInfoOptions(int argc, char** argv, const ProgramInfo& info) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Affiche cette aide et s'arrête."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Affiche la version et s'arrête."));
    QCommandLineParser parser;
    parser.addOption(help);
    parser.addOption(version);
    if (!info.argumentHelp.isEmpty())
        parser.addPositionalArgument(info.argumentName, info.argumentHelp,
                                     QStringLiteral("[%1]").arg(info.argumentName));
    parser.setApplicationDescription(info.description);
    // Qt's own options (-platform, -style...) are not errors here.
    parser.parse(arguments);
    if (!parser.isSet(help) && !parser.isSet(version))
        return std::nullopt;

    // Qt's words of the help ("Usage", "Options") come in French from here on.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(info.name);
    QCoreApplication::setApplicationVersion(info.version);
    installFrenchTranslations(app);
    const QString text = parser.isSet(help)
                             ? parser.helpText()
                             : QStringLiteral("%1 %2\n").arg(info.name, info.version);
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return 0;
}

QString newDriveTableText(const QString& tableFolder) {
    QString shown = tableFolder;
    const QString home = QDir::homePath();
    if (shown.startsWith(home + u'/'))
        shown = QStringLiteral("~") + shown.mid(home.size());
    return QStringLiteral("Table des lecteurs créée dans %1 : c: est votre dossier personnel ; "
                          "pour ajouter un lecteur, placez-y un lien symbolique nommé par sa "
                          "lettre, par exemple « ln -s ~/MonSite %1/x: ».")
        .arg(shown);
}

bool prepareDriveTable() {
    return platform::createDefaultDriveTable();
}

void tellNewDriveTable(QWidget* parent) {
    MessageRequest request;
    request.parent = parent;
    request.caption = programTitle();
    request.text = newDriveTableText(platform::driveTableFolder());
    request.icon = BoxIcon::Information;
    showMessage(request);
}

} // namespace toolkit
