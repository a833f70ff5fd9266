#pragma once

#include "converter/CardImport.h"
#include "converter/Conversion.h"
#include "converter/ConversionRun.h"
#include "toolkit/SuiteSettings.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace toolkit {
class BitButton;
class DirectoryListBox;
class DriveComboBox;
class FileListBox;
class LinkLabel;
class SpeedButton;
} // namespace toolkit

// The converter's window: three linked selectors to choose the camcorder
// folder, the button that converts it, the help, the two web addresses and
// the way back to the suite's menu.
namespace strovan {

// Where the suite names its virtual drive.
toolkit::VirtualDriveSetting VirtualDriveSetting();

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // startFolder: the folder the converter was started in (its own folder,
    // below the suite folder); the help, the settings and the menu are found
    // from it.
    explicit TForm1(const QString& startFolder, QWidget* parent = nullptr);

    // Handlers, one per event.
    void FormCreate();
    void FormActivate();
    void BtActionClick();
    void BtAideClick();
    void BtMenuClick();
    void Label5Click();
    void Label6Click();
    void BtLecteursClick();
    // Moves the selectors to the user's camcorder card or videos folder, as
    // an installed converter opens.
    void OpenOnUserFiles();
    bool openedOnUserFiles() const { return m_openedOnUserFiles; }

    const QString& startFolder() const { return m_startFolder; }
    // Set once the drive preselection has run without error.
    bool activatedOnce() const { return m_activated; }
    // The conversion's run: its dialog, while one goes.
    const ConversionRun& conversionRun() const { return m_run; }

    // Controls, as the layout names them.
    QLabel* Image1;
    toolkit::DriveComboBox* DCB;
    toolkit::DirectoryListBox* DLB;
    toolkit::FileListBox* FLB;
    toolkit::SpeedButton* BtAction;
    toolkit::BitButton* BtAide;
    toolkit::SpeedButton* BtMenu;
    toolkit::BitButton* BitBtn1;
    QLabel* Label2;
    QLabel* Label1;
    QLabel* Label3;
    QLineEdit* Edit1;
    QLabel* Label4;
    toolkit::LinkLabel* Label5;
    toolkit::LinkLabel* Label6;
    QPushButton* BtLecteurs;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void convertSelectedFolder();
    // Converts folder; reportHead goes at the top of the end report.
    void convertFolder(const QString& folder, const QStringList& reportHead);
    toolkit::Answer offerImport(const QString& folder, const ImportPlan& plan);
    void importThenConvert(const ImportPlan& plan);
    ImportReport runImport(const ImportPlan& plan);
    bool confirmForeignFolders(const QString& folder, const QStringList& foreign);
    ConversionReport runConversion(platform::Folder selected, int clips,
                                   const QStringList& leaveAlone);
    void showReport(const QString& folder, const ConversionReport& report,
                    const QStringList& head = {});
    void preselectDrive(const QString& designation);
    void fitOuterSize();

    const QString m_startFolder;
    bool m_activated = false;
    bool m_openedOnUserFiles = false;
    bool m_activating = false;
    // The window has been left for another program since its last activation
    // (or has not been activated yet); our own message boxes do not count.
    bool m_cameFromOutside = true;
    // The conversion going on; closing the window asks it to stop, and the
    // window closes once it has.
    ConversionRun m_run;
    bool m_closeWhenStopped = false;
};

} // namespace strovan
