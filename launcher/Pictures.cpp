#include "launcher/Pictures.h"

#include <QtGlobal>

static void initLauncherResources() {
    Q_INIT_RESOURCE(launcher);
}

namespace pelmora {

void loadPictures() {
    static const bool once = (initLauncherResources(), true);
    Q_UNUSED(once);
}

} // namespace pelmora
