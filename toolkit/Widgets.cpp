#include "toolkit/Widgets.h"

#include <QMouseEvent>
#include <QStyle>

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

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

SpeedButton::SpeedButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setFocusPolicy(Qt::NoFocus);
    setFlat(false);
}

BitButton::BitButton(Kind kind, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setIcon(style()->standardIcon(kind == Kind::Help ? QStyle::SP_DialogHelpButton
                                                     : QStyle::SP_DialogCloseButton));
    setFocusPolicy(Qt::StrongFocus);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void fitOuterSize(QWidget* window, const QSize& outer) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->setFixedSize(outer - frame);
}

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
}

} // namespace toolkit
