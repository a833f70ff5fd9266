#pragma once

#include <QString>

#include <functional>

class QWidget;

// Modal message boxes with French buttons, and the program's default error
// box. Every box goes through one seam that tests can answer.
namespace toolkit {

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };
enum class BoxIcon { None, Information, Question, Warning, Error };

struct MessageRequest {
    QWidget* parent = nullptr;
    QString caption;
    QString text; // a carriage return (13) breaks the line
    Buttons buttons = Buttons::Ok;
    BoxIcon icon = BoxIcon::None;
    Answer defaultAnswer = Answer::Ok;
    QString yesText = QStringLiteral("&Oui");
    QString noText = QStringLiteral("&Non");
    // A widget the box must not cover (what it asks the user to check): the
    // box goes beneath it, else beside its window.
    QWidget* keepVisible = nullptr;
};

// Answers the box instead of showing it (tests); an empty hook shows boxes.
using MessageHook = std::function<Answer(const MessageRequest&)>;
void setMessageHook(MessageHook hook);

Answer showMessage(const MessageRequest& request);

// The title set at start-up, else the program's file name without extension,
// every letter after the first in lower case.
QString programTitle();
void setProgramTitle(const QString& title);

// A plain box: the text, one OK button, captioned with the program's title.
void showPlainMessage(const QString& text, QWidget* parent = nullptr);
// Yes / no / cancel box with a caption.
Answer askYesNoCancel(const QString& caption, const QString& text, QWidget* parent = nullptr);

// The text as a box lays it out: the space before a colon, semicolon,
// question or exclamation mark and the spaces inside guillemets do not break,
// so that no line of a wrapped box starts with the mark alone.
QString withFrenchSpacesKept(const QString& text);

// Text of the default error box: the message, plus "." when its last
// character sorts after ".".
QString errorBoxText(const QString& message);
// The default error box: error icon, one OK button, the program's title.
void showErrorBox(const QString& message, QWidget* parent = nullptr);

// Runs a window action; an error it raises ends the action and is shown in
// the default error box, and the program goes on.
void runGuarded(const std::function<void()>& action, QWidget* parent = nullptr);

} // namespace toolkit
