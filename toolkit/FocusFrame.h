#pragma once

#include <QColor>
#include <QRect>

class QWidget;

namespace toolkit {

// Shows the focused control's frame as soon as the window is active, not only
// after a first Tab: a keyboard user sees what Space will press. The frame is
// drawn around the control, FocusFrameWidth pixels wide, in black or white,
// whichever stands out more on the ground it is drawn on, so that it shows on
// every background and around a control that draws no focus of its own (an
// empty list).
void showFocusFromTheStart(QWidget* window);

inline constexpr int FocusFrameWidth = 2;

// The frame's rectangle around a control's geometry, in its parent.
QRect focusFrameRect(const QRect& control);
// The frame's colour on ground.
QColor focusFrameColour(const QColor& ground);

} // namespace toolkit
