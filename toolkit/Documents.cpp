#include "toolkit/Documents.h"

#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Mhtml.h"

#include <QPointer>
#include <QProcess>
#include <QWidget>

namespace toolkit {

namespace {

void tell(QWidget* parent, const QString& text) {
    MessageRequest request;
    request.parent = parent;
    request.caption = programTitle();
    request.icon = BoxIcon::Warning;
    request.text = text;
    showMessage(request);
}

bool isSavedWebPage(const QString& path) {
    return path.endsWith(QStringLiteral(".mht"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".mhtml"), Qt::CaseInsensitive);
}

} // namespace

QString noProgramText(const QString& path) {
    const QString browser = QStringLiteral("Installez un navigateur Web, puis recommencez.");
    if (path.contains(QStringLiteral("://")))
        return QStringLiteral("Aucun navigateur Web ne peut ouvrir l'adresse %1\r%2")
            .arg(path, browser);
    // Named by the kind of program a home user looks for, not by a product.
    QString install = browser;
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        install = QStringLiteral("Installez un lecteur de documents PDF, puis recommencez.");
    else if (!isSavedWebPage(path) && !path.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive) &&
             !path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive))
        install = QStringLiteral(
            "Installez un programme qui ouvre ce type de document, puis recommencez.");
    return QStringLiteral("Aucun programme ne peut ouvrir %1\r%2").arg(path, install);
}

void openAddressOrTell(const QString& url, QWidget* parent) {
    const QPointer<QWidget> window(parent);
    openWatched(url, [window, url](bool opened) {
        if (!opened)
            tell(window, noProgramText(url));
    });
}

void openWatched(const QString& target, const std::function<void(bool opened)>& done) {
    if (const std::optional<bool> answer = platform::openThroughHook(target)) {
        done(*answer);
        return;
    }
    // Without a parent: the opener may outlive the window (the launcher ends
    // after a tool), and must not be killed with it.
    auto* opener = new QProcess;
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({target});
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, done](int code, QProcess::ExitStatus status) {
                         opener->deleteLater();
                         done(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         opener->deleteLater();
                         done(false);
                     });
    opener->start();
}

void openDocumentOrTell(const QString& path, QWidget* parent) {
    if (!platform::fileExists(path)) {
        tell(parent, QStringLiteral("Le document %1 est introuvable.").arg(path));
        return;
    }
    QString host = platform::toHostPath(path);
    if (isSavedWebPage(path)) {
        // A document that cannot be unpacked goes to the opener as it is: a
        // program there may still read it.
        const QString page = unpackedMhtmlPage(host);
        if (!page.isEmpty())
            host = page;
    }
    const QPointer<QWidget> window(parent);
    openWatched(host, [window, path](bool opened) {
        if (!opened)
            tell(window, noProgramText(path));
    });
}

} // namespace toolkit
