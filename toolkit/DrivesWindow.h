// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/SuiteSettings.h"

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// The drives window both programs open ("Lecteurs"): the drive table as a
// list of letters, their folders and what they are used for; a letter given
// to a folder, taken away, or made the virtual disk.
namespace toolkit {

// Asks for a folder, starting in hostFolder; returns the host folder chosen,
// or an empty string when the user cancels. Tests answer it instead of a person.
using FolderDialog = std::function<QString(QWidget* parent, const QString& hostFolder)>;
// An empty dialog restores the real one.
void setFolderDialog(FolderDialog dialog);

// What a letter is used for, as the list says it.
QString driveUse(QChar letter, const QString& virtualDrive);

class DrivesWindow : public QDialog {
    Q_OBJECT
public:
    // suiteFolder: the Windows path of the suite folder, whose settings file
    // names the virtual disk when the user's own does not.
    DrivesWindow(const VirtualDriveSetting& setting, const QString& suiteFolder,
                 QWidget* parent = nullptr);

    // Handlers, one per button.
    void BtAjouterClick();
    void BtRetirerClick();
    void BtVirtuelClick();

    // Reads the table again and shows it; the selection stays on its letter.
    void readDrives();
    // Selects a letter's row; false when the list has none.
    bool selectDrive(QChar letter);
    // The letter given by "Ajouter": the one chosen among the free ones.
    void setNewLetter(QChar letter);
    QString virtualDrive() const { return m_virtual; }

    QTreeWidget* List;
    QComboBox* CbLettre;
    QPushButton* BtAjouter;
    QPushButton* BtRetirer;
    QPushButton* BtVirtuel;
    QPushButton* BtFermer;

signals:
    // The table or the virtual disk changed; the drive selectors of the
    // program's windows have already been told.
    void drivesChanged();
    void virtualDriveChanged(const QString& designation);

private:
    QChar selectedLetter() const;
    void updateButtons();
    void tellWindows();
    void failed(const QString& what, int code);

    VirtualDriveSetting m_setting;
    QString m_suiteFolder;
    QString m_virtual;
};

} // namespace toolkit
