#pragma once

#include <QFont>
#include <QLabel>
#include <QPushButton>

// Small widgets the windows share.
namespace toolkit {

// A font by its Windows family name, with look-alike families the host may
// have, at a size in pixels.
QFont classicFont(const QString& family, int pixelSize, bool bold = false);

// Sets a widget's text colour (window text and button text roles).
void setTextColour(QWidget* widget, const QColor& colour);
// Fills a widget's background with colour.
void setBackground(QWidget* widget, const QColor& colour);

// Raised push button with an optional picture that never takes the keyboard
// focus.
class SpeedButton : public QPushButton {
    Q_OBJECT
public:
    explicit SpeedButton(const QString& caption, QWidget* parent = nullptr);
};

// Push button with the toolkit's standard help or close picture beside its
// caption; it takes the keyboard focus.
class BitButton : public QPushButton {
    Q_OBJECT
public:
    enum class Kind { Help, Close };
    BitButton(Kind kind, const QString& caption, QWidget* parent = nullptr);
};

// Label that reacts to a click, with the hand cursor.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Gives a top-level window the outer size the layout asks for, whatever frame
// the window manager draws around it. Call once it is shown.
void fitOuterSize(QWidget* window, const QSize& outer);

// Places a widget at (left, top) with a fixed size, as the layout tables give.
void place(QWidget* widget, int left, int top, int width, int height);

} // namespace toolkit
