#include "toolkit/SingleInstance.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace toolkit {

namespace {

// Long enough for a busy machine; an instance that does not accept by then is
// taken as gone, and a new one is started.
constexpr int AnswerWait = 2000;

std::atomic<qint64> peerUserForTests{-1};

struct Address {
    sockaddr_un addr{};
    socklen_t size = 0;
    QByteArray path; // empty in the abstract namespace
};

std::optional<Address> addressFor(const QByteArray& name, bool abstract) {
    Address a;
    a.addr.sun_family = AF_UNIX;
    // The abstract name starts with a NUL byte and is not NUL-terminated.
    const QByteArray raw = abstract ? QByteArray(1, '\0') + name : name;
    if (raw.size() >= qsizetype(sizeof a.addr.sun_path))
        return std::nullopt;
    std::memcpy(a.addr.sun_path, raw.constData(), size_t(raw.size()));
    a.size = socklen_t(offsetof(sockaddr_un, sun_path) + raw.size() + (abstract ? 0 : 1));
    if (!abstract)
        a.path = name;
    return a;
}

// The user's runtime folder, only when nobody else may enter it.
QByteArray privateRuntimeFolder() {
    const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!folder.startsWith('/') || ::lstat(folder.constData(), &st) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        return {};
    return folder;
}

std::optional<Address> runtimeAddress(const QString& key) {
    const QByteArray path = instanceSocketPath(key);
    return path.isEmpty() ? std::nullopt : addressFor(path, false);
}

std::optional<Address> abstractAddress(const QString& key) {
    // Per user: two users' instances of the same folder must not meet.
    return addressFor("pelmora/" + QByteArray::number(::getuid()) + '/' + key.toUtf8(), true);
}

bool peerIsOwnUser(int fd) {
    ucred cred{};
    socklen_t size = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        return false;
    const qint64 forced = peerUserForTests.load();
    return (forced >= 0 ? uid_t(forced) : cred.uid) == ::getuid();
}

class Socket {
public:
    Socket() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

enum class Peer { None, Own, Foreign };

// Connects to address, waiting at most AnswerWait for a listener whose
// backlog is full; says whose listener answered.
Peer connectTo(const Address& address) {
    Socket s;
    if (s.fd() < 0)
        return Peer::None;
    if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&address.addr), address.size) != 0) {
        if (errno != EAGAIN && errno != EINPROGRESS)
            return Peer::None;
        pollfd p{s.fd(), POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (::poll(&p, 1, AnswerWait) != 1 ||
            ::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return Peer::None;
    }
    return peerIsOwnUser(s.fd()) ? Peer::Own : Peer::Foreign;
}

bool bindAndListen(int fd, const Address& address) {
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address.addr), address.size) == 0 &&
           ::listen(fd, 16) == 0;
}

} // namespace

QString instanceKey(const QString& program, const QString& hostFolder) {
    const QFileInfo folder(hostFolder);
    const QString canonical = folder.canonicalFilePath();
    const QByteArray key = (canonical.isEmpty() ? folder.absoluteFilePath() : canonical).toUtf8();
    return program + u'-' +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
}

QByteArray instanceSocketPath(const QString& key) {
    const QByteArray folder = privateRuntimeFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray path = folder + '/' + key.toUtf8();
    return path.size() < qsizetype(sizeof(sockaddr_un::sun_path)) ? path : QByteArray();
}

bool bringInstanceForward(const QString& key) {
    // The connection itself is the request. Both places are asked: a program
    // started without the runtime folder in its environment listens in the
    // abstract namespace.
    for (const auto& address : {runtimeAddress(key), abstractAddress(key)})
        if (address && connectTo(*address) == Peer::Own)
            return true;
    return false;
}

InstanceServer::InstanceServer(const QString& key, QObject* parent) : QObject(parent) {
    const std::optional<Address> runtime = runtimeAddress(key);
    const std::optional<Address> address = runtime ? runtime : abstractAddress(key);
    Socket s;
    if (!address || s.fd() < 0)
        return;
    if (!bindAndListen(s.fd(), *address)) {
        // Only a socket file of this user's that nobody answers on is taken
        // over; in the abstract namespace a name cannot be taken back.
        struct stat st {};
        if (errno != EADDRINUSE || address->path.isEmpty() ||
            ::lstat(address->path.constData(), &st) != 0 || !S_ISSOCK(st.st_mode) ||
            st.st_uid != ::getuid() || connectTo(*address) != Peer::None ||
            ::unlink(address->path.constData()) != 0 || !bindAndListen(s.fd(), *address))
            return;
    }
    if (!address->path.isEmpty()) {
        struct stat st {};
        if (::lstat(address->path.constData(), &st) == 0) {
            m_device = st.st_dev;
            m_inode = st.st_ino;
        }
        m_path = address->path;
    }
    m_fd = s.release();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InstanceServer::acceptRequests);
}

InstanceServer::~InstanceServer() {
    if (m_fd < 0)
        return;
    delete m_notifier;
    ::close(m_fd);
    // Removed only while it is still the file this server made.
    struct stat st {};
    if (!m_path.isEmpty() && ::lstat(m_path.constData(), &st) == 0 && st.st_dev == m_device &&
        st.st_ino == m_inode)
        ::unlink(m_path.constData());
}

void InstanceServer::acceptRequests() {
    for (;;) {
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // EAGAIN: every request is answered
        }
        const bool own = peerIsOwnUser(client);
        ::close(client);
        if (own)
            emit comeForward();
    }
}

void setPeerUserForTests(std::optional<quint32> uid) {
    peerUserForTests = uid ? qint64(*uid) : -1;
}

} // namespace toolkit
