#pragma once

#include "toolkit/SingleInstance.h"

#include <QString>

// One menu at a time for a suite folder: whoever would start a second one
// asks the running one to come forward instead.
namespace toolkit {

// The menu's key for a suite folder (host path).
inline QString menuServerName(const QString& hostSuiteFolder) {
    return instanceKey(QStringLiteral("pelmora-menu"), hostSuiteFolder);
}

// True when the menu running for that suite folder is this user's and comes
// forward; false when none of this user's answers.
inline bool bringMenuForward(const QString& hostSuiteFolder) {
    return bringInstanceForward(menuServerName(hostSuiteFolder));
}

// The running menu's side, listening for its suite folder.
class MenuServer : public InstanceServer {
public:
    explicit MenuServer(const QString& hostSuiteFolder, QObject* parent = nullptr)
        : InstanceServer(menuServerName(hostSuiteFolder), parent) {}
};

} // namespace toolkit
