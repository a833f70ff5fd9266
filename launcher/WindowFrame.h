#pragma once

class QWidget;
class QSize;

namespace pelmora {

// Gives a top-level window the outer size the layout asks for, whatever
// frame the window manager draws around it. Call once it is shown.
void fitOuterSize(QWidget* window, const QSize& outer);

// Registers the launcher's pictures (kept in a static library, so the linker
// needs telling). Safe to call more than once.
void loadPictures();

} // namespace pelmora
