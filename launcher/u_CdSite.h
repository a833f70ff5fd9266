#pragma once

#include "toolkit/SuiteSettings.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace toolkit {
class DriveComboBox;
class DirectoryListBox;
class FileListBox;
class SpeedButton;
class BitButton;
} // namespace toolkit

namespace pelmora {

// Asks for an icon file, starting in hostFolder; returns the host path chosen
// (a typed name of a file that does not exist included), or an empty string
// when the user cancels. Tests answer it instead of a person.
using IconDialog = std::function<QString(QWidget* parent, const QString& hostFolder)>;
// An empty dialog restores the real one.
void setIconDialog(IconDialog dialog);

// Where the suite names its virtual drive.
toolkit::VirtualDriveSetting virtualDriveSetting();

// The CD/DVD site window: prepares the root of the virtual disk so that a
// disc burnt from it opens the site by itself (Autorun.inf, the autorun
// program and an icon).
class TForm3 : public QWidget {
    Q_OBJECT
public:
    // startFolder: the suite folder, where the autorun program, the icons
    // and the help document are found.
    explicit TForm3(const QString& startFolder, QWidget* parent = nullptr);

    // The nine lines of instructions at the top of the window.
    static QStringList instructionLines();

    toolkit::DriveComboBox* DCB() const { return m_dcb; }
    toolkit::DirectoryListBox* DLB() const { return m_dlb; }
    toolkit::FileListBox* FLB() const { return m_flb; }
    QPlainTextEdit* Memo1() const { return m_memo1; }
    QLabel* Pl() const { return m_pl; }
    // Full path of the icon chosen with "Parcourir"; empty until one is chosen.
    const QString& iconPath() const { return m_iconPath; }

    // A start page chosen in the list whose name cannot be written in
    // Autorun.inf: says why at once, not only at the save.
    void FLBChange();
    void BtParcourirClick();
    void BtEnregClick();
    void BtAideClick();
    void BtQuitterClick();

    // The virtual drive was chosen again: the window moves to it now when
    // shown, else at its next showing.
    void followVirtualDrive();

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setStatus(const QString& text);
    void showChosenIcon();
    void preselectVirtualDrive();

    const QString m_startFolder;
    // Kept while the program runs: the window is hidden, never destroyed.
    QString m_iconPath;
    toolkit::DriveComboBox* m_dcb = nullptr;
    toolkit::DirectoryListBox* m_dlb = nullptr;
    toolkit::FileListBox* m_flb = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
    QLabel* m_pl = nullptr;
    QPushButton* m_parcourir = nullptr;
    bool m_preselected = false;
    QPoint m_lastPosition;
    bool m_shownBefore = false;
};

} // namespace pelmora
