#include "toolkit/FocusFrame.h"

#include "toolkit/Widgets.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace toolkit {

QRect focusFrameRect(const QRect& control) {
    // One pixel of the ground between the control and the frame.
    const int margin = FocusFrameWidth + 1;
    return control.adjusted(-margin, -margin, margin, margin);
}

QColor focusFrameColour(const QColor& ground) {
    const QColor black(Qt::black), white(Qt::white);
    return contrastRatio(black, ground) >= contrastRatio(white, ground) ? black : white;
}

namespace {

// Draws the frame on the focused control's parent, after the parent has
// painted itself: the frame lies in the margin around the control, which no
// child covers.
class FocusFrame : public QObject {
public:
    explicit FocusFrame(QWidget* window) : QObject(window), m_window(window) {
        connect(qApp, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { follow(now); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::WindowActivate) {
            // After the activation has set the focus (which clears the mark).
            QTimer::singleShot(0, m_window, [this] {
                m_window->setAttribute(Qt::WA_KeyboardFocusChange);
                if (QWidget* focused = m_window->focusWidget())
                    focused->update();
            });
            return false;
        }
        if (m_target && watched == m_target) {
            if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                event->type() == QEvent::Hide || event->type() == QEvent::Show)
                repaintAround();
            return false;
        }
        if (m_target && watched == m_target->parentWidget() && event->type() == QEvent::Paint) {
            // The parent paints first, then the frame over its ground.
            static_cast<QObject*>(watched)->event(event);
            paintFrame();
            return true;
        }
        return false;
    }

private:
    void follow(QWidget* now) {
        QWidget* target = now && now != m_window && now->window() == m_window ? now : nullptr;
        if (target == m_target)
            return;
        if (m_target) {
            m_target->removeEventFilter(this);
            if (QWidget* parent = m_target->parentWidget())
                parent->removeEventFilter(this);
            repaintAround();
        }
        m_target = target;
        if (m_target) {
            m_target->installEventFilter(this);
            m_target->parentWidget()->installEventFilter(this);
            repaintAround();
        }
    }

    void repaintAround() {
        if (!m_target || !m_target->parentWidget())
            return;
        // The old place and the new one: a moved control leaves no trace.
        m_target->parentWidget()->update(m_painted);
        m_painted = focusFrameRect(m_target->geometry());
        m_target->parentWidget()->update(m_painted);
    }

    void paintFrame() {
        QWidget* parent = m_target->parentWidget();
        if (!m_target->isVisible())
            return;
        QPainter painter(parent);
        const QColor ground = parent->palette().color(parent->backgroundRole());
        painter.setPen(QPen(focusFrameColour(ground), FocusFrameWidth, Qt::SolidLine, Qt::SquareCap,
                            Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        const QRect frame = focusFrameRect(m_target->geometry());
        // The pen straddles the path: half a pen inside keeps it in the rect.
        const qreal half = FocusFrameWidth / 2.0;
        painter.drawRect(QRectF(frame).adjusted(half, half, -half, -half));
    }

    QWidget* m_window;
    QPointer<QWidget> m_target;
    QRect m_painted;
};

} // namespace

void showFocusFromTheStart(QWidget* window) {
    window->installEventFilter(new FocusFrame(window));
}

} // namespace toolkit
