#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Saved web pages in one file (MIME multipart/related, ".mht"): the desktop's
// browsers do not all read them, so the page and the parts it shows are
// unpacked into a folder and the links between them made local.
namespace toolkit {

struct MhtmlPart {
    QByteArray contentType; // lower case, without parameters: "text/html"
    QByteArray charset;     // lower case; empty when not given
    QString location;       // Content-Location, as written
    QString contentId;      // Content-ID without its angle brackets
    QByteArray body;        // decoded (base64, quoted-printable or as is)
};

// The parts of an MHTML document, the page to show first; an empty list when
// the bytes are not a multipart document with at least one part.
QList<MhtmlPart> parseMhtml(const QByteArray& bytes);

// Writes the parts into folder (an existing, empty host folder), each under a
// name of its own, with the references between them rewritten to those names.
// Returns the host path of the page, or an empty string when the document
// cannot be read or a file cannot be written.
QString unpackMhtml(const QByteArray& bytes, const QString& folder);

// The largest saved page unpacked: the unpack holds the document and its
// largest part in memory.
inline constexpr qint64 MaxSavedPageSize = qint64(256) << 20;

struct UnpackedPage {
    QString page; // host path of the unpacked page; empty when there is none
    int error = 0; // a Windows code when the document itself cannot be read
};

// The page of the .mht document at hostPath, unpacked once (per content of the
// file) into a folder below the user's private runtime folder. The document
// is read as the platform reads any file it is handed: a pipe, a device or a
// document larger than MaxSavedPageSize gives an error (ErrFileTooLarge for
// the last), and no page. A document that is no saved page, or that cannot be
// unpacked there (a full disk), gives neither. Takes a while for a large
// document: called off the window's thread.
UnpackedPage unpackedMhtmlPage(const QString& hostPath);

} // namespace toolkit
