#include "toolkit/SingleMenu.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace toolkit {

namespace {

// Long enough for a busy machine; a menu that does not accept by then is
// taken as gone, and a new one is started.
constexpr int AnswerWait = 2000;

} // namespace

QString menuServerName(const QString& hostSuiteFolder) {
    const QFileInfo folder(hostSuiteFolder);
    const QString canonical = folder.canonicalFilePath();
    const QByteArray key = (canonical.isEmpty() ? folder.absoluteFilePath() : canonical).toUtf8();
    return QStringLiteral("pelmora-menu-%1-%2")
        .arg(::getuid())
        .arg(QString::fromLatin1(
            QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24)));
}

bool bringMenuForward(const QString& hostSuiteFolder) {
    // The connection itself is the request: nothing to wait for, so that the
    // menu's own event loop may answer it later.
    QLocalSocket socket;
    socket.connectToServer(menuServerName(hostSuiteFolder));
    if (!socket.waitForConnected(AnswerWait))
        return false;
    socket.disconnectFromServer();
    return true;
}

MenuServer::MenuServer(const QString& hostSuiteFolder, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    const QString name = menuServerName(hostSuiteFolder);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a menu that ended without closing it answers nobody.
    if (!m_server->listen(name) && m_server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name);
        m_server->listen(name);
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            client->disconnectFromServer();
            client->deleteLater();
            emit comeForward();
        }
    });
}

bool MenuServer::isListening() const {
    return m_server->isListening();
}

} // namespace toolkit
