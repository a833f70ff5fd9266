// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/SuiteSettings.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/Ini.h"
#include "platform/WinPath.h"

#include <QDir>

namespace toolkit {

namespace {

// No settings file holds this: it tells a missing key from an empty one.
const QString Missing = QStringLiteral("\x01");

} // namespace

QString userSettingsFile(const VirtualDriveSetting& setting) {
    return platform::userSettingsFolder() + u'/' + setting.file;
}

QString readVirtualDrive(const VirtualDriveSetting& setting, const QString& suiteFolder) {
    const QString own = platform::readIniString(platform::toWindowsPath(userSettingsFile(setting)),
                                                setting.section, setting.key, Missing);
    if (own != Missing)
        return own;
    // Concatenated as the suite always has: a converter right below a drive
    // root looks for "\SUBST.INI" on the current drive.
    return platform::readIniString(suiteFolder + u'\\' + setting.file, setting.section,
                                   setting.key);
}

int writeVirtualDrive(const VirtualDriveSetting& setting, QChar letter) {
    const QString host = userSettingsFile(setting);
    if (!QDir().mkpath(platform::userSettingsFolder()))
        return platform::ErrPathNotFound;
    return platform::writeIniString(platform::toWindowsPath(host), setting.section, setting.key,
                                    letter.isNull() ? QString() : driveDesignation(letter));
}

QString driveDesignation(QChar letter) {
    return QString(letter.toUpper()) + u':';
}

bool isSystemFolder(const QString& folder) {
    return platform::winpath::driveLetter(folder) == u'Z' && !platform::tableDefinesDrive(u'Z') &&
           platform::driveHostRoot(u'Z') == u"/";
}

} // namespace toolkit
