#include "launcher/SupportsVideo.h"

#include "common/SuiteInfo.h"
#include "launcher/Pictures.h"
#include "toolkit/FocusFrame.h"
#include "toolkit/Jpeg.h"
#include "toolkit/Widgets.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>

namespace pelmora {

namespace {
const QSize OuterSize(338, 478);
}

QStringList TFormVideo::helpLines() {
    return {
        QStringLiteral("Les supports vidéos sont sur le CDROM d'installation"),
        QStringLiteral("Ils n'ont pas été copiés sur le disque dur, afin de ne pas"),
        QStringLiteral("prendre de la place inutilement."),
        QString(),
        QStringLiteral("Pour y accéder :"),
        QStringLiteral("- Mettez le CDROM dans votre lecteur."),
        QStringLiteral("- Placez-vous dans le répertoire VIDEOS"),
        QStringLiteral("  puis placez-vous dans le sous répertoire qui"),
        QStringLiteral("  correspond au logiciel souhaité."),
        QStringLiteral("- Sélectionnez le fichier EXE qui correspond au"),
        QStringLiteral("  film que vous voulez voir, en faisant un double clic."),
        QStringLiteral("- N'oubliez pas de fermer la visionneuse après chaque film."),
        QString(),
        QStringLiteral("Les films"),
        QStringLiteral("Si la place sur le CD le permet, vous pouvez regarder"),
        QStringLiteral("tous les films qui correspondent aux logiciels du même auteur, "),
        QStringLiteral("distribués par Orvane."),
        QString(),
        QStringLiteral("Ecran conseillé SVGA 1024*768"),
        QString(),
        QString(),
    };
}

TFormVideo::TFormVideo(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormVideo"));
    setWindowTitle(QStringLiteral("Supports"));
    setFont(toolkit::classicFont(QStringLiteral("MS Sans Serif"), 11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(OuterSize);

    auto* panel = new QLabel(QStringLiteral("Assistants vidéo"), this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setFont(toolkit::classicFont(QStringLiteral("MS Sans Serif"), 32, true));
    // Navy on the classic face, whatever the desktop's theme.
    toolkit::setColours(panel, QColor(0, 0, 128), toolkit::ButtonFace, true);
    toolkit::place(panel, 8, 8, 265, 49);

    m_quit = new toolkit::SpeedButton(QString(), this);
    m_quit->setObjectName(QStringLiteral("BtQuitter"));
    loadPictures();
    const QImage quitPicture = toolkit::loadJpeg(QStringLiteral(":/pictures/quit.jpg"));
    m_quit->setIcon(quitPicture.isNull() ? style()->standardIcon(QStyle::SP_DialogCloseButton)
                                         : QIcon(QPixmap::fromImage(quitPicture)));
    m_quit->setIconSize(QSize(32, 32));
    m_quit->setToolTip(QStringLiteral("Fermer"));
    // A picture alone: screen readers need its name.
    m_quit->setAccessibleName(QStringLiteral("Fermer"));
    // Reached from the keyboard too, before the text box.
    m_quit->setFocusPolicy(Qt::StrongFocus);
    toolkit::place(m_quit, 280, 8, 49, 49);
    connect(m_quit, &QPushButton::clicked, this, &TFormVideo::BtQuitterClick);

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    toolkit::place(group, 8, 72, 313, 273);
    m_memo = new QPlainTextEdit(group);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setPlainText(helpLines().join(u'\n'));
    // The window only shows this text: wrapped to its width, read-only, yet
    // reachable with the keyboard and readable by a screen reader.
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo->setReadOnly(true);
    m_memo->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_memo->setAccessibleName(QStringLiteral("Assistants vidéo"));
    // Tab leaves the text box instead of trapping the keyboard in it.
    m_memo->setTabChangesFocus(true);
    toolkit::place(m_memo, 8, 16, 297, 249);

    auto* author = new QLabel(suite::authorLabelText(), this);
    author->setObjectName(QStringLiteral("Label1"));
    author->move(16, 368);
    author->adjustSize();

    auto* address = new QLabel(suite::addressA(), this);
    address->setObjectName(QStringLiteral("Label2"));
    address->setFont(toolkit::classicFont(QStringLiteral("MS Sans Serif"), 13, true));
    address->move(16, 404);
    address->adjustSize();

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setScaledContents(true);
    image->setAccessibleName(QStringLiteral("Assistants vidéo"));
    const QImage picture = toolkit::loadJpeg(QStringLiteral(":/pictures/video.jpg"));
    if (!picture.isNull())
        image->setPixmap(QPixmap::fromImage(picture));
    toolkit::place(image, 232, 352, 89, 89);

    toolkit::showFocusFromTheStart(this);
}

void TFormVideo::BtQuitterClick() {
    hide();
}

void TFormVideo::closeEvent(QCloseEvent* event) {
    // The close box only hides: the window and its text live on.
    event->ignore();
    hide();
}

bool TFormVideo::event(QEvent* event) {
    // The frame is known once the window manager has drawn it.
    if (event->type() == QEvent::WindowActivate)
        toolkit::fitOuterSize(this, OuterSize);
    return QWidget::event(event);
}

void TFormVideo::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Centred on the screen with the mouse when first shown, and always
    // whole on a screen afterwards.
    if (!m_sized) {
        m_sized = true;
        toolkit::fitOuterSize(this, OuterSize);
        toolkit::placeOnScreen(this);
    } else {
        toolkit::keepOnScreen(this);
    }
}

} // namespace pelmora
