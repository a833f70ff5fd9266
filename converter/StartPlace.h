#pragma once

#include <QString>

// Where the converter's window opens in an installed suite: on the user's
// camcorder footage, never in the converter's own folder.
namespace strovan {

// The folder to convert on a camcorder card mounted now (a removable volume):
// its SD_VIDEO folder, else its root when the root holds recording folders or
// .MOD clips. Empty when no such card is mounted.
QString CamcorderCardFolder();

// The user's videos folder as a Windows path: the desktop's own (the one
// xdg-user-dir VIDEOS names), else ~/Vidéos, else ~/Videos; the home folder
// when none exists.
QString VideosFolder();

// The card's folder when one is mounted, else the videos folder.
QString UserStartFolder();

// The key of the running converter for its folder (host path): one converter
// at a time, apart from the menu's key.
QString ConverterInstanceKey(const QString& hostFolder);

} // namespace strovan
