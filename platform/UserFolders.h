#pragma once

#include <QString>

// The user's own folders, as the desktop names them.
namespace platform {

// Host path of the user's videos folder: the one the desktop names
// (XDG_VIDEOS_DIR in user-dirs.dirs, as xdg-user-dir VIDEOS reads it), else
// ~/Vidéos or ~/Videos, whichever exists (~/Vidéos when neither does). It may
// not exist yet.
QString videosHostFolder();

} // namespace platform
