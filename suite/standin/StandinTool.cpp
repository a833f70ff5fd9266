// Stands in for the suite's other tools. One program, installed under each
// tool's name: it shows which tool it replaces (taken from its own file name),
// the folder it was started in and the arguments it was given, so that a start
// from the launcher's menu can be checked by eye.

#include "common/SuiteLayout.h"
#include "platform/Drives.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// The tool's name as the menu knows it: its program file without extension.
// The file name decides, whatever its case and with or without its ".EXE".
// Null when the program is none of the stood-in tools.
const suite::Tool* knownTool(const QString& programPath) {
    const QString base = QFileInfo(programPath).completeBaseName();
    for (std::size_t i = 0; i < suite::ToolCount; ++i) {
        const suite::Tool& tool = suite::Tools[i];
        if (i != suite::ConverterTool &&
            base.compare(QFileInfo(suite::name(tool.program)).completeBaseName(),
                         Qt::CaseInsensitive) == 0)
            return &tool;
    }
    return nullptr;
}

QString toolName(const QString& programPath) {
    const suite::Tool* tool = knownTool(programPath);
    return QFileInfo(tool ? suite::name(tool->program) : programPath).completeBaseName();
}

// The caption of its button in the launcher's menu.
QString toolPurpose(const QString& programPath) {
    const suite::Tool* tool = knownTool(programPath);
    return tool ? suite::name(tool->caption) : QStringLiteral("Outil inconnu de la suite Pelmora");
}

QString argumentsText(const QStringList& arguments) {
    if (arguments.isEmpty())
        return QStringLiteral("(aucun)");
    QStringList quoted;
    for (const QString& argument : arguments)
        quoted << QStringLiteral("« %1 »").arg(argument);
    return quoted.join(QLatin1Char(' '));
}

QLabel* selectableLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    const QString program = QCoreApplication::applicationFilePath();
    const QString name = toolName(program);
    const QString hostFolder = QDir::currentPath();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    QWidget window;
    window.setWindowTitle(name);

    auto* title = new QLabel(name, &window);
    QFont titleFont = title->font();
    titleFont.setPixelSize(24);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* purpose = new QLabel(toolPurpose(program), &window);
    QFont purposeFont = purpose->font();
    purposeFont.setBold(true);
    purpose->setFont(purposeFont);

    auto* note = new QLabel(QStringLiteral("Ce programme tient la place de l'outil « %1 » de la "
                                           "suite Pelmora. Il montre seulement comment il a été "
                                           "démarré.")
                                .arg(name),
                            &window);
    note->setWordWrap(true);

    auto* facts = new QFormLayout;
    facts->addRow(QStringLiteral("Dossier de travail :"),
                  selectableLabel(platform::toWindowsPath(hostFolder), &window));
    facts->addRow(QStringLiteral("Sur ce système :"), selectableLabel(hostFolder, &window));
    facts->addRow(QStringLiteral("Arguments :"),
                  selectableLabel(argumentsText(arguments), &window));

    auto* close = new QPushButton(QStringLiteral("Fermer"), &window);
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(title);
    layout->addWidget(purpose);
    layout->addWidget(note);
    layout->addSpacing(8);
    layout->addLayout(facts);
    layout->addStretch();
    layout->addLayout(buttons);

    window.resize(480, 240);
    window.show();
    return app.exec();
}
