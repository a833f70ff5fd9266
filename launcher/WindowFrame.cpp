#include "launcher/WindowFrame.h"

#include <QSize>
#include <QtGlobal>
#include <QWidget>

static void initLauncherResources() {
    Q_INIT_RESOURCE(launcher);
}

namespace pelmora {

void loadPictures() {
    static const bool once = (initLauncherResources(), true);
    Q_UNUSED(once);
}

void fitOuterSize(QWidget* window, const QSize& outer) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->setFixedSize(outer - frame);
}

} // namespace pelmora
