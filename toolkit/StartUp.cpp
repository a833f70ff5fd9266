// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/StartUp.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
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

QString defaultVirtualDiskFolder() {
    return QDir::homePath() + QStringLiteral("/Pelmora/Disque virtuel");
}

QChar freeVirtualLetter() {
    const QList<QChar> taken = platform::definedDrives();
    for (char16_t c = u'X'; c >= u'D'; --c)
        if (!taken.contains(QChar(c)))
            return QChar(c);
    return {};
}

FirstStart prepareDriveTable(const VirtualDriveSetting& setting) {
    FirstStart start;
    start.madeTable = platform::createDefaultDriveTable();
    if (!start.madeTable)
        return start;
    const QString folder = defaultVirtualDiskFolder();
    const QChar letter = freeVirtualLetter();
    if (letter.isNull()) {
        start.error = platform::ErrInvalidDrive;
        return start;
    }
    if (!QDir().mkpath(folder)) {
        start.error = platform::ErrAccessDenied;
        return start;
    }
    start.error = platform::defineDrive(letter, folder);
    if (start.error == platform::NoError)
        start.error = writeVirtualDrive(setting, letter);
    if (start.error == platform::NoError) {
        start.virtualLetter = letter;
        start.virtualFolder = folder;
    }
    return start;
}

namespace {

// The home folder written as the user knows it.
QString shownFolder(const QString& hostFolder) {
    const QString home = QDir::homePath();
    if (hostFolder.startsWith(home + u'/'))
        return QStringLiteral("~") + hostFolder.mid(home.size());
    return hostFolder;
}

} // namespace

QString firstStartText(const FirstStart& start) {
    if (start.virtualLetter.isNull())
        return QStringLiteral("Votre dossier personnel est maintenant le lecteur c:, mais le "
                              "disque virtuel n'a pas pu être préparé (%1). Ouvrez « Lecteurs » "
                              "pour donner une lettre au dossier de votre site et en faire le "
                              "disque virtuel.")
            .arg(platform::IoError::messageFor(start.error));
    return QStringLiteral("Votre dossier personnel est le lecteur c:, et le dossier vide "
                          "« %1 » est le disque virtuel %2: ; enregistrez-y les pages de votre "
                          "site. Pour donner une lettre à un autre dossier ou changer de disque "
                          "virtuel, ouvrez « Lecteurs ».")
        .arg(shownFolder(start.virtualFolder), QString(start.virtualLetter.toLower()));
}

void tellFirstStart(QWidget* parent, const FirstStart& start,
                    const std::function<void()>& openDrives) {
    MessageRequest request;
    request.parent = parent;
    request.caption = programTitle();
    request.text = firstStartText(start);
    request.icon = BoxIcon::Information;
    // "OK" is the default, and Escape or the close box answer it too: the
    // drives window opens only when asked for.
    request.buttons = Buttons::YesNo;
    request.yesText = QStringLiteral("&Lecteurs…");
    request.noText = QStringLiteral("OK");
    request.defaultAnswer = Answer::No;
    if (showMessage(request) == Answer::Yes && openDrives)
        openDrives();
}

} // namespace toolkit
