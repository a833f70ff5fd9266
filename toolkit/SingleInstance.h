#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;

// One running instance of a program per user and per key: the instance
// listens on a local socket only its user can reach, and a second start asks
// it to come forward instead of opening a second window.
//
// The socket lies in $XDG_RUNTIME_DIR when that folder is the user's alone;
// otherwise in Linux's abstract namespace, where anybody may connect or take
// a name first, so each side checks the other's user (SO_PEERCRED) and trusts
// no one else. When no check can be made, each start simply runs on its own.
namespace toolkit {

// A key for a program and a host folder: "<program>-<hash of the folder>".
QString instanceKey(const QString& program, const QString& hostFolder);

// The socket's path in the user's runtime folder; empty when that folder is
// missing, not the user's alone, or too long a path for a socket.
QByteArray instanceSocketPath(const QString& key);

// Asks the instance listening for key to come forward. True only when one of
// this user's answers; a listener of another user is never trusted.
bool bringInstanceForward(const QString& key);

// The running instance's side: emits comeForward for each request of its
// own user. A stale socket of the user's, left by an instance that ended
// without removing it, is replaced; one that answers is left alone.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(const QString& key, QObject* parent = nullptr);
    ~InstanceServer() override;
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    bool isListening() const { return m_fd >= 0; }

signals:
    void comeForward();

private:
    void acceptRequests();

    int m_fd = -1;
    QByteArray m_path; // empty in the abstract namespace
    quint64 m_device = 0, m_inode = 0; // the socket file this server made
    QSocketNotifier* m_notifier = nullptr;
};

// For tests: every peer is taken as this user's (nullopt: as the kernel says),
// so that a listener of another user can be played without a second account.
void setPeerUserForTests(std::optional<quint32> uid);

} // namespace toolkit
