#pragma once

class QWidget;

namespace toolkit {

// Shows the focused control's frame as soon as the window is active, not only
// after a first Tab: a keyboard user sees what Space will press.
void showFocusFromTheStart(QWidget* window);

} // namespace toolkit
