#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

// Small widgets the windows share.
namespace toolkit {

// A font by its Windows family name, with look-alike families the host may
// have, at a size in pixels.
QFont classicFont(const QString& family, int pixelSize, bool bold = false);

// The face of a button on the desktop the windows were drawn for: the ground
// of a control whose layout gives only its text a colour.
inline const QColor ButtonFace{240, 240, 240};

// The whole palette of a control whose layout gives it colours: text on
// background in every state (active, inactive, disabled; the pressed and
// focused looks are drawn from the same roles), so that it reads the same
// under any desktop theme, light or dark.
QPalette fixedPalette(const QColor& text, const QColor& background);
// Gives widget that palette; fill paints its background with it too.
void setColours(QWidget* widget, const QColor& text, const QColor& background, bool fill = false);
// Only the window's ground and its own text (a window, a group box), in every
// state; the controls inside keep the desktop's colours for the rest.
void setWindowColours(QWidget* widget, const QColor& text, const QColor& background);

// Contrast ratio of two colours, 1 to 21, as readers of a screen perceive it
// (relative luminance of the sRGB colours).
double contrastRatio(const QColor& a, const QColor& b);

// Raised push button with an optional picture that never takes the keyboard
// focus.
class SpeedButton : public QPushButton {
    Q_OBJECT
public:
    explicit SpeedButton(const QString& caption, QWidget* parent = nullptr);
};

// Push button with the toolkit's standard help or close picture beside its
// caption; it takes the keyboard focus. The picture is redrawn in the
// caption's colour when the face would hide it (a dark theme).
class BitButton : public QPushButton {
    Q_OBJECT
public:
    enum class Kind { Help, Close };
    BitButton(Kind kind, const QString& caption, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void updatePicture();
    Kind m_kind;
};

// Label that reacts to a click, with the hand cursor; the keyboard reaches it
// and Space or Enter follows it, and screen readers see a link.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Gives a top-level window the outer size the layout asks for, whatever frame
// the window manager draws around it. Call once it is shown.
void fitOuterSize(QWidget* window, const QSize& outer);

// Places a widget at (left, top) with a fixed size, as the layout tables give.
void place(QWidget* widget, int left, int top, int width, int height);

// Top-left corner of a window whose outer size (frame included) is outer,
// centred on centre and kept inside available. A window larger than the area
// keeps its top-left corner inside, so that its title bar stays reachable.
QPoint placedTopLeft(const QSize& outer, const QPoint& centre, const QRect& available);

// Opens window centred on its parent's window when that one is shown, else on
// the screen that holds the mouse, inside that screen's available area. Call
// before the window is first shown; once the window manager has framed it,
// the place is corrected for the frame's real size.
void placeOnScreen(QWidget* window);
// Moves a window that has been shown before back inside the available area
// of the screen it is on (the screens may have changed since).
void keepOnScreen(QWidget* window);

} // namespace toolkit
