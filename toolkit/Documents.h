#pragma once

#include <QString>

class QWidget;

namespace toolkit {

// Opens a document (Windows path) with the desktop's opener. When it is
// missing or nothing can open it, the user is told in a box, not left waiting.
void openDocumentOrTell(const QString& path, QWidget* parent);

} // namespace toolkit
