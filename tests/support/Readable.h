#pragma once

// Whether a window's texts can be read, whatever the desktop's theme: under a
// palette the test sets, each control's text against the ground it is drawn
// on. Header only: the window tests link the widgets this needs.
#include "toolkit/Widgets.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

namespace testsupport {

// A dark desktop theme, light text on dark grounds.
inline QPalette darkPalette() {
    QPalette palette(QColor(53, 53, 53), QColor(45, 45, 45));
    const QColor light(235, 235, 235);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(group, role, light);
        palette.setColor(group, QPalette::Base, QColor(30, 30, 30));
    }
    return palette;
}

// The rows of a test run under a light and under a dark theme.
inline void addThemeRows() {
    QTest::addColumn<QPalette>("theme");
    QTest::newRow("light") << QApplication::style()->standardPalette();
    QTest::newRow("dark") << darkPalette();
}

// The application's palette while it lives, the earlier one back after.
class ThemePalette {
public:
    explicit ThemePalette(const QPalette& palette) : m_saved(QApplication::palette()) {
        QApplication::setPalette(palette);
    }
    ~ThemePalette() { QApplication::setPalette(m_saved); }

private:
    QPalette m_saved;
};

// The colour a control without a ground of its own is drawn on.
inline QColor groundOf(const QWidget* widget) {
    for (const QWidget* at = widget; at; at = at->parentWidget())
        if (at->autoFillBackground() || at->isWindow())
            return at->palette().color(at->backgroundRole());
    return {};
}

// Controls whose text stands out too little: buttons, lists, text boxes and
// drive selectors against their own face (4.5:1), labels and group titles
// against the ground they sit on (3:1, the floor for large or bold type,
// which the window's coloured labels use).
inline QStringList unreadableControls(const QWidget* window) {
    QStringList poor;
    auto check = [&poor](const QWidget* w, QPalette::ColorRole text, const QColor& ground,
                         double least) {
        const double ratio = toolkit::contrastRatio(w->palette().color(text), ground);
        if (ratio < least)
            poor << QStringLiteral("%1 (%2:1)").arg(w->objectName()).arg(ratio, 0, 'f', 2);
    };
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const QPalette& p = w->palette();
        if (qobject_cast<const QPushButton*>(w)) {
            check(w, QPalette::ButtonText, p.color(QPalette::Button), 4.5);
        } else if (qobject_cast<const QComboBox*>(w)) {
            check(w, QPalette::ButtonText, p.color(QPalette::Button), 4.5);
            check(w, QPalette::Text, p.color(QPalette::Base), 4.5);
        } else if (qobject_cast<const QAbstractScrollArea*>(w) ||
                   qobject_cast<const QLineEdit*>(w)) {
            check(w, QPalette::Text, p.color(QPalette::Base), 4.5);
        } else if (const auto* label = qobject_cast<const QLabel*>(w);
                   label && !label->text().isEmpty()) {
            check(w, QPalette::WindowText, groundOf(w), 3.0);
        } else if (const auto* box = qobject_cast<const QGroupBox*>(w);
                   box && !box->title().isEmpty()) {
            check(w, QPalette::WindowText, groundOf(w), 3.0);
        }
    }
    return poor;
}

} // namespace testsupport
