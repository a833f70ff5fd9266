#include "toolkit/Documents.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "toolkit/MessageBox.h"
#include "toolkit/Mhtml.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QThread>
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

QString unreadableText(const QString& path, int error) {
    if (error == platform::ErrFileTooLarge)
        return QStringLiteral("Le document %1 est trop volumineux pour être ouvert (plus de %2 Mo).")
            .arg(path)
            .arg(MaxSavedPageSize >> 20);
    return QStringLiteral("Le document %1 ne peut pas être lu : %2.")
        .arg(path, platform::IoError::messageFor(error));
}

// Unpacks on a thread of its own, so that a large document leaves the window
// free, and hands the result to done on the window's thread.
void unpackThen(const QString& host, std::function<void(const UnpackedPage&)> done) {
    QThread* worker = QThread::create([host, done = std::move(done)] {
        const UnpackedPage result = unpackedMhtmlPage(host);
        QMetaObject::invokeMethod(
            qApp, [done, result] { done(result); }, Qt::QueuedConnection);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
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
    const QString host = platform::toHostPath(path);
    const QPointer<QWidget> window(parent);
    auto open = [window, path](const QString& target) {
        openWatched(target, [window, path](bool opened) {
            if (!opened)
                tell(window, noProgramText(path));
        });
    };
    if (!isSavedWebPage(path)) {
        open(host);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    unpackThen(host, [window, path, host, open](const UnpackedPage& result) {
        QApplication::restoreOverrideCursor();
        if (result.error != platform::NoError)
            tell(window, unreadableText(path, result.error));
        else // a document that could not be unpacked goes to the opener as it is
            open(result.page.isEmpty() ? host : result.page);
    });
}

} // namespace toolkit
