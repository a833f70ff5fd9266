#include "toolkit/Documents.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "toolkit/MessageBox.h"

namespace toolkit {

void openDocumentOrTell(const QString& path, QWidget* parent) {
    if (platform::fileExists(path) && platform::openDocument(path))
        return;
    MessageRequest request;
    request.parent = parent;
    request.caption = programTitle();
    request.icon = BoxIcon::Warning;
    request.text = platform::fileExists(path)
                       ? QStringLiteral("Impossible d'ouvrir le document %1.").arg(path)
                       : QStringLiteral("Le document %1 est introuvable.").arg(path);
    showMessage(request);
}

} // namespace toolkit
