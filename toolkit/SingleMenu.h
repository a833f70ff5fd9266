#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One menu at a time for a suite folder: the running menu listens on a local
// socket named after its folder, and whoever would start a second one asks it
// to come forward instead.
namespace toolkit {

// The socket's name for a suite folder (host path): per user and per folder.
QString menuServerName(const QString& hostSuiteFolder);

// Asks the menu running for that suite folder to come forward. True when one
// is running (it then comes forward); false when none answers.
bool bringMenuForward(const QString& hostSuiteFolder);

// The running menu's side: emits comeForward for each request.
class MenuServer : public QObject {
    Q_OBJECT
public:
    explicit MenuServer(const QString& hostSuiteFolder, QObject* parent = nullptr);
    bool isListening() const;

signals:
    void comeForward();

private:
    QLocalServer* m_server;
};

} // namespace toolkit
