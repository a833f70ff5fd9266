#include "toolkit/Widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace toolkit {

QFont classicFont(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    QStringList families{family};
    if (family == u"MS Sans Serif" || family == u"Tahoma")
        // Faces of the same widths first, so that captions stay inside the
        // fixed boxes they were drawn for; the wider fallbacks last.
        families << QStringLiteral("Microsoft Sans Serif") << QStringLiteral("Liberation Sans")
                 << QStringLiteral("Arial") << QStringLiteral("Helvetica")
                 << QStringLiteral("Nimbus Sans") << QStringLiteral("DejaVu Sans")
                 << QStringLiteral("Sans Serif");
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

namespace {

constexpr QPalette::ColorGroup AllGroups[] = {QPalette::Active, QPalette::Inactive,
                                              QPalette::Disabled};

QColor mixed(const QColor& a, const QColor& b) {
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

double luminance(const QColor& colour) {
    auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette fixedPalette(const QColor& text, const QColor& background) {
    // Bevels, pressed faces and shadows derive from the ground.
    QPalette palette(background, background);
    const QColor greyed = mixed(text, background);
    for (const QPalette::ColorGroup group : AllGroups) {
        const QColor& ink = group == QPalette::Disabled ? greyed : text;
        for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(group, role, ink);
        palette.setColor(group, QPalette::PlaceholderText, greyed);
        for (const auto role :
             {QPalette::Window, QPalette::Button, QPalette::Base, QPalette::AlternateBase})
            palette.setColor(group, role, background);
        // The selection and the focus ring as the classic desktop draws them.
        palette.setColor(group, QPalette::Highlight, QColor(0, 0, 128));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    return palette;
}

void setColours(QWidget* widget, const QColor& text, const QColor& background, bool fill) {
    widget->setPalette(fixedPalette(text, background));
    if (fill)
        widget->setAutoFillBackground(true);
}

void setWindowColours(QWidget* widget, const QColor& text, const QColor& background) {
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : AllGroups) {
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::WindowText,
                         group == QPalette::Disabled ? mixed(text, background) : text);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

SpeedButton::SpeedButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFocusPolicy(Qt::NoFocus);
    setFlat(false);
}

BitButton::BitButton(Kind kind, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), m_kind(kind) {
    setFocusPolicy(Qt::StrongFocus);
    updatePicture();
}

void BitButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        updatePicture();
}

void BitButton::updatePicture() {
    const QIcon standard = style()->standardIcon(
        m_kind == Kind::Help ? QStyle::SP_DialogHelpButton : QStyle::SP_DialogCloseButton);
    const int side = style()->pixelMetric(QStyle::PM_ButtonIconSize, nullptr, this);
    QImage image =
        standard.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // The picture's average ink against the face: a dark cross vanishes on a
    // dark face, so it is drawn in the caption's colour then.
    double red = 0, green = 0, blue = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.redF() * c.alphaF();
            green += c.greenF() * c.alphaF();
            blue += c.blueF() * c.alphaF();
            weight += c.alphaF();
        }
    const QColor face = palette().color(QPalette::Button);
    if (weight > 0 &&
        contrastRatio(QColor::fromRgbF(red / weight, green / weight, blue / weight), face) < 3.0) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), palette().color(QPalette::ButtonText));
        painter.end();
        setIcon(QIcon(QPixmap::fromImage(image)));
    } else {
        setIcon(standard);
    }
}

namespace {

// Screen readers hear a link that can be pressed, named by its text.
class LinkLabelAccessible : public QAccessibleWidget {
public:
    explicit LinkLabelAccessible(LinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        QString shown = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && shown.isEmpty())
            shown = static_cast<const LinkLabel*>(widget())->text();
        return shown;
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction())
            emit static_cast<LinkLabel*>(widget())->clicked();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* linkLabelFactory(const QString& className, QObject* object) {
    if (className == u"toolkit::LinkLabel" && object->isWidgetType())
        return new LinkLabelAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(linkLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit clicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void fitOuterSize(QWidget* window, const QSize& outer) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->setFixedSize(outer - frame);
}

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
}

QPoint placedTopLeft(const QSize& outer, const QPoint& centre, const QRect& available) {
    auto axis = [](int size, int middle, int low, int length) {
        const int start = middle - size / 2;
        // Too large: the start (title bar, left edge) wins over the end.
        return std::max(low, std::min(start, low + length - size));
    };
    return {axis(outer.width(), centre.x(), available.left(), available.width()),
            axis(outer.height(), centre.y(), available.top(), available.height())};
}

namespace {

QScreen* screenUnderMouse(const QWidget* window) {
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos()))
        return screen;
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

QSize outerSize(const QWidget* window) {
    const QSize frame = window->frameGeometry().size();
    if (frame != window->size() || !window->windowHandle())
        return frame;
    // Not framed yet: the frame the platform window expects, when it knows it.
    const QMargins margins = window->windowHandle()->frameMargins();
    return frame.grownBy(margins);
}

void centre(QWidget* window) {
    const QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QScreen* screen = owner && owner->isVisible() ? owner->screen() : screenUnderMouse(window);
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // QRect::center() rounds down a pixel: the true middle of the area.
    const QRect around = owner && owner->isVisible() ? owner->frameGeometry() : available;
    const QPoint middle = around.topLeft() + QPoint(around.width() / 2, around.height() / 2);
    window->move(placedTopLeft(outerSize(window), middle, available));
}

// Once the window manager has drawn the frame, the first place is corrected
// for it; only once, so that the user's own moves are kept.
class FramedPlace : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            // After the window's own activation, which may fit its size to the
            // frame.
            QTimer::singleShot(0, watched, [window = static_cast<QWidget*>(watched)] {
                if (window->frameGeometry().size() != window->size())
                    centre(window);
            });
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void placeOnScreen(QWidget* window) {
    // The platform window, so that a frame already known counts.
    window->winId();
    centre(window);
    window->installEventFilter(new FramedPlace(window));
}

void keepOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::screenAt(window->frameGeometry().center());
    if (!screen)
        screen = screenUnderMouse(window);
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect frame(window->pos(), outerSize(window));
    if (!available.contains(frame))
        window->move(placedTopLeft(frame.size(), frame.center(), available));
}

} // namespace toolkit
