#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace toolkit {
class SpeedButton;
}

namespace pelmora {

// The video help window: where the help films are and how to watch them.
// Only hidden and shown again; its text is read-only.
class TFormVideo : public QWidget {
    Q_OBJECT
public:
    explicit TFormVideo(QWidget* parent = nullptr);

    static QStringList helpLines();
    QPlainTextEdit* memo() const { return m_memo; }
    toolkit::SpeedButton* quitButton() const { return m_quit; }

    void BtQuitterClick();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* m_memo;
    toolkit::SpeedButton* m_quit;
    bool m_sized = false;
};

} // namespace pelmora
