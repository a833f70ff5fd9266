#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit code page of the files the suite shares with Windows readers
// (Windows-1252 on hosts without a system code page).
namespace platform {

// Encodes text in Windows-1252. *ok is false when a character has no byte
// there (the text is then not to be written).
QByteArray toWindows1252(const QString& text, bool* ok);
QString fromWindows1252(const QByteArray& bytes);

} // namespace platform
