#include "toolkit/SingleInstance.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace toolkit;

class TstSingleInstance : public QObject {
    Q_OBJECT

    QByteArray m_runtime;

private slots:
    void initTestCase() { m_runtime = qgetenv("XDG_RUNTIME_DIR"); }
    void cleanup() {
        setPeerUserForTests(std::nullopt);
        qputenv("XDG_RUNTIME_DIR", m_runtime);
    }

    // What a second start finds, wherever the socket lies.
    void secondStart_data() {
        QTest::addColumn<QString>("runtime"); // "private", "shared" (0755) or "none"
        QTest::addColumn<QString>("before");  // "nothing", "running", "stale" or "foreign"
        QTest::addColumn<bool>("forward");    // the second start gives way
        QTest::addColumn<bool>("listens");    // the second start listens itself
        for (const char* runtime : {"private", "shared", "none"}) {
            const QString r = QString::fromLatin1(runtime);
            QTest::addRow("%s, nothing", runtime) << r << QStringLiteral("nothing") << false << true;
            QTest::addRow("%s, running", runtime) << r << QStringLiteral("running") << true << false;
            // Not trusted, yet no reason to stay away: it starts on its own.
            QTest::addRow("%s, another user's", runtime)
                << r << QStringLiteral("foreign") << false << false;
        }
        QTest::newRow("private, stale socket")
            << QStringLiteral("private") << QStringLiteral("stale") << false << true;
    }
    void secondStart() {
        QFETCH(QString, runtime);
        QFETCH(QString, before);
        QFETCH(bool, forward);
        QFETCH(bool, listens);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        ::chmod(QFile::encodeName(folder.path()).constData(), runtime == u"shared" ? 0755 : 0700);
        qputenv("XDG_RUNTIME_DIR", runtime == u"none" ? QByteArray()
                                                      : QFile::encodeName(folder.path()));
        const QString key = instanceKey(QStringLiteral("essai"), folder.path());
        QCOMPARE(instanceSocketPath(key).isEmpty(), runtime != u"private");

        std::unique_ptr<InstanceServer> first;
        int cameForward = 0;
        if (before == u"stale") {
            // A socket file whose listener died with it.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            qstrncpy(addr.sun_path, instanceSocketPath(key).constData(), sizeof addr.sun_path);
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            ::close(fd);
        } else if (before != u"nothing") {
            first = std::make_unique<InstanceServer>(key);
            QVERIFY(first->isListening());
            connect(first.get(), &InstanceServer::comeForward, this, [&] { ++cameForward; });
        }
        if (before == u"foreign")
            setPeerUserForTests(::getuid() + 1);

        QCOMPARE(bringInstanceForward(key), forward);
        InstanceServer second(key);
        QCOMPARE(second.isListening(), listens);
        if (listens) {
            // The new instance is the one that answers now.
            setPeerUserForTests(std::nullopt);
            int secondForward = 0;
            connect(&second, &InstanceServer::comeForward, this, [&] { ++secondForward; });
            QVERIFY(bringInstanceForward(key));
            QTRY_COMPARE(secondForward, 1);
        }
        // A request of another user's never brings a window forward.
        QTest::qWait(20);
        QCOMPARE(cameForward > 0, forward);
    }

    // The socket file goes with its server, and never takes another's with it.
    void socketFileRemovedOnlyWhenItsOwn() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
        const QString key = instanceKey(QStringLiteral("essai"), folder.path());
        const QByteArray path = instanceSocketPath(key);
        {
            InstanceServer server(key);
            QVERIFY(server.isListening());
            QVERIFY(QFileInfo::exists(path));
        }
        QVERIFY(!QFileInfo::exists(path));
        {
            InstanceServer server(key);
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        }
        QVERIFY(QFileInfo::exists(path));
    }
};

QTEST_GUILESS_MAIN(TstSingleInstance)
#include "tst_singleinstance.moc"
