#pragma once

namespace pelmora {

// Registers the launcher's pictures (kept in a static library, so the linker
// needs telling). Safe to call more than once.
void loadPictures();

} // namespace pelmora
