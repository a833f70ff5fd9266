#include "toolkit/MessageBox.h"

#include "platform/Errors.h"
#include "toolkit/Cursors.h"

#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>

#include <exception>
#include <optional>

namespace toolkit {

namespace {

MessageHook& hook() {
    static MessageHook h;
    return h;
}

QString& titleSlot() {
    static QString title;
    return title;
}

// A box with a short text would cut its own caption: the window manager
// draws the title with a bold font beside its icon and buttons.
void makeRoomForCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || box.windowTitle().isEmpty())
        return;
    QFont bold = box.font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int titleBarButtons = 5 * metrics.height();
    const int wanted = metrics.horizontalAdvance(box.windowTitle()) + titleBarButtons;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// Room left between a placed box and what it must not cover; above a box,
// room for the title bar the window manager may add once it is shown.
constexpr int Gap = 8;
constexpr int TitleBarRoom = 32;

QMessageBox::Icon toQtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Error:
        return QMessageBox::Critical;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Puts the box where it leaves keep readable: beneath it, else beside its
// window (right, then left), else above it; inside the screen.
void placeClearOf(QMessageBox& box, const QWidget* keep) {
    box.adjustSize();
    const QSize size = box.frameGeometry().size().expandedTo(box.sizeHint());
    const QRect area = keep->rect().translated(keep->mapToGlobal(QPoint(0, 0)));
    const QRect window = keep->window()->frameGeometry();
    const QScreen* screen = keep->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), size * 4);
    const QPoint candidates[] = {
        {area.left(), area.bottom() + 1 + TitleBarRoom},
        {window.right() + 1 + Gap, window.top()},
        {window.left() - Gap - size.width(), window.top()},
        {area.left(), area.top() - Gap - size.height() - TitleBarRoom},
    };
    for (const QPoint& at : candidates) {
        if (available.contains(QRect(at, size))) {
            box.move(at);
            return;
        }
    }
    // No room anywhere: the bottom of the screen, clear of as much as it can.
    box.move(qBound(available.left(), area.left(), available.right() - size.width()),
             available.bottom() - size.height());
}

} // namespace

void setMessageHook(MessageHook h) {
    hook() = std::move(h);
}

Answer showMessage(const MessageRequest& request) {
    // A box that comes up during long work gets the ordinary arrow.
    std::optional<OverrideCursor> arrow;
    if (QApplication::overrideCursor())
        arrow.emplace(Qt::ArrowCursor);
    if (hook())
        return hook()(request);
    QString text = withFrenchSpacesKept(request.text);
    text.replace(u'\r', u'\n');
    QMessageBox box(toQtIcon(request.icon), request.caption, text, QMessageBox::NoButton,
                    request.parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* ok = nullptr;
    switch (request.buttons) {
    case Buttons::Ok:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        break;
    case Buttons::YesNoCancel:
        yes = box.addButton(request.yesText, QMessageBox::YesRole);
        no = box.addButton(request.noText, QMessageBox::NoRole);
        cancel = box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
        break;
    case Buttons::YesNo:
        yes = box.addButton(request.yesText, QMessageBox::YesRole);
        no = box.addButton(request.noText, QMessageBox::NoRole);
        break;
    }
    if (request.defaultAnswer == Answer::Yes && yes)
        box.setDefaultButton(yes);
    else if (request.defaultAnswer == Answer::No && no)
        box.setDefaultButton(no);
    else if (request.defaultAnswer == Answer::Cancel && cancel)
        box.setDefaultButton(cancel);
    if (cancel)
        box.setEscapeButton(cancel);
    else if (no)
        box.setEscapeButton(no);
    makeRoomForCaption(box);
    if (request.keepVisible)
        placeClearOf(box, request.keepVisible);
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked && clicked == yes)
        return Answer::Yes;
    if (clicked && clicked == no)
        return Answer::No;
    if (clicked && clicked == ok)
        return Answer::Ok;
    return request.buttons == Buttons::Ok ? Answer::Ok : (cancel ? Answer::Cancel : Answer::No);
}

QString programTitle() {
    if (!titleSlot().isEmpty())
        return titleSlot();
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (base.isEmpty())
        return base;
    return base.left(1) + base.mid(1).toLower();
}

void setProgramTitle(const QString& title) {
    titleSlot() = title;
}

void showPlainMessage(const QString& text, QWidget* parent) {
    MessageRequest request;
    request.parent = parent;
    request.caption = programTitle();
    request.text = text;
    showMessage(request);
}

Answer askYesNoCancel(const QString& caption, const QString& text, QWidget* parent) {
    MessageRequest request;
    request.parent = parent;
    request.caption = caption;
    request.text = text;
    request.buttons = Buttons::YesNoCancel;
    request.icon = BoxIcon::Question;
    request.defaultAnswer = Answer::Yes;
    return showMessage(request);
}

QString withFrenchSpacesKept(const QString& text) {
    constexpr char16_t Unbreakable = 0x00A0;
    const auto binds = [](QChar mark, bool before) {
        return before ? QStringView(u":;?!\u00BB").contains(mark) : mark == u'\u00AB';
    };
    QString kept = text;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept.at(i) != u' ')
            continue;
        if ((i + 1 < kept.size() && binds(kept.at(i + 1), true)) ||
            (i > 0 && binds(kept.at(i - 1), false)))
            kept[i] = QChar(Unbreakable);
    }
    return kept;
}

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        return message + u'.';
    return message;
}

void showErrorBox(const QString& message, QWidget* parent) {
    MessageRequest request;
    request.parent = parent;
    request.caption = programTitle();
    request.text = errorBoxText(message);
    request.icon = BoxIcon::Error;
    showMessage(request);
}

void runGuarded(const std::function<void()>& action, QWidget* parent) {
    try {
        action();
    } catch (const platform::Error& error) {
        showErrorBox(error.message(), parent);
    } catch (const std::exception& error) {
        showErrorBox(QString::fromLocal8Bit(error.what()), parent);
    }
}

} // namespace toolkit
