#pragma once

#include <QApplication>

namespace toolkit {

// The application's cursor for as long as the object lives, whichever way
// the scope ends (the wait cursor during long work, for one).
class OverrideCursor {
public:
    explicit OverrideCursor(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

} // namespace toolkit
