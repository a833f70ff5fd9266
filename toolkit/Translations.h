#pragma once

class QCoreApplication;

namespace toolkit {

// Puts Qt's own texts (standard dialogs, context menus) in French when the
// translations are installed; otherwise they stay as they are.
void installFrenchTranslations(QCoreApplication& app);

} // namespace toolkit
