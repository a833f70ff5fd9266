#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace toolkit {

// Opens a document (Windows path) with the desktop's opener, for every window
// of both programs. A saved web page (".mht", ".mhtml") is unpacked once into a
// private folder and its page opened, as any browser shows it; the unpack runs
// off the window's thread, under a wait cursor, so the page opens a moment
// after the call returns. When the document is missing, cannot be read (a
// pipe, a device, too large a saved page), or the opener ends saying that no
// program took it, the user is told in a box, not left waiting.
void openDocumentOrTell(const QString& path, QWidget* parent);

// Hands a host path or address to the desktop's opener and calls done with
// whether a program took it: the opener's exit status, once it has ended (at
// once when tests answer through the platform's open seam).
void openWatched(const QString& target, const std::function<void(bool opened)>& done);

// Opens a web address in the browser; when no browser takes it, the user is
// told which kind of program to install.
void openAddressOrTell(const QString& url, QWidget* parent);

// The box's text when no program could open path (a Windows path or an
// address): what it is, and which kind of program to install.
QString noProgramText(const QString& path);

} // namespace toolkit
