#include "toolkit/FocusFrame.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace toolkit {

namespace {

class FocusFrame : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::WindowActivate) {
            // After the activation has set the focus (which clears the mark).
            QTimer::singleShot(0, window, [window] {
                window->setAttribute(Qt::WA_KeyboardFocusChange);
                if (QWidget* focused = window->focusWidget())
                    focused->update();
            });
        }
        return false;
    }
};

} // namespace

void showFocusFromTheStart(QWidget* window) {
    window->installEventFilter(new FocusFrame(window));
}

} // namespace toolkit
