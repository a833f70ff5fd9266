#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace toolkit {
class LinkLabel;
class SpeedButton;
class BitButton;
} // namespace toolkit

namespace pelmora {

class TFormVideo;
class TForm3;

// One tool of the menu: its button, its folder below the start folder (a
// fragment beginning with a backslash) and its program file.
struct ToolEntry {
    QPushButton* button;
    QString folder;
    QString program;
};

// The launcher's menu window.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    // The two windows this menu shows; they live as long as the menu.
    void setCompanions(TFormVideo* video, TForm3* site);

    // The working folder when the menu was created. Every fixed path of the
    // suite is built from it; the site window is given it when it is built.
    const QString& startFolder() const { return m_startFolder; }

    const QList<ToolEntry>& tools() const { return m_tools; }
    QPushButton* button(const QString& objectName) const;

    void FormCreate();
    void ToolButtonClick(int row);
    void BtAideClick();
    void PreRequisClick();
    void BtSiteHtmClick();
    void BtVideoClick();
    // Opens the drives window.
    void BtLecteursClick();
    void Label1Click();
    void Label3Click();
    void BtFinClick();

signals:
    // The launcher gives way to a tool it has started.
    void terminating();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openAddressA();
    void endLauncher();

    QString m_startFolder;
    QList<ToolEntry> m_tools;
    TFormVideo* m_video = nullptr;
    TForm3* m_site = nullptr;
};

} // namespace pelmora
